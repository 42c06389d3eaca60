#!/usr/bin/env bash
# The captions of the game's windows as the X11 window system reads them, on an X server of the
# test's own: each is exactly the window's caption, with nothing appended, and the main window
# still belongs to the program's window class, through which the desktop knows it.
#
# Usage: window_titles.sh <game windows program>   (exits 77, skipped, when Xvfb is missing)
set -euo pipefail
program=$1
if ! command -v Xvfb >/dev/null; then
    echo "Xvfb is not installed: skipped"
    exit 77
fi

work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb takes the first free display and tells which on a descriptor; only its local socket.
mkfifo "$work/display"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.err" &
pids+=($!)
display=""
read -r -t 20 display <"$work/display" || true
if [[ -z $display ]]; then
    echo "Xvfb did not start:" >&2
    cat "$work/xvfb.err" >&2
    exit 1
fi
export DISPLAY=:$display
unset WAYLAND_DISPLAY

QT_QPA_PLATFORM=xcb "$program" >"$work/out" 2>"$work/err" &
pids+=($!)
game=$!
for _ in $(seq 300); do
    grep -q '^READY' "$work/out" && break
    if ! kill -0 "$game" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
if ! grep -q '^READY' "$work/out"; then
    echo "the game's windows did not all open:" >&2
    cat "$work/out" "$work/err" >&2
    exit 1
fi

declare -A caption=(
    [MAIN]="Marevo  － 視点切替：F,U,R   ｽﾋﾟﾝ上降：S,D －"
    [CONNECT]="接続"
    [CHAT]="MarevoＣｈａｔ"
    [ABOUT]="ﾊﾞｰｼﾞｮﾝ情報"
)
failed=0
for window in MAIN CONNECT CHAT ABOUT; do
    id=$(awk -v w="$window" '$1 == w { print $2 }' "$work/out")
    if [[ -z $id ]]; then
        echo "$window: no window" >&2
        failed=1
        continue
    fi
    # The caption may reach the server a moment after the window.
    name=""
    for _ in $(seq 50); do
        name=$(xdotool getwindowname "$id" 2>/dev/null || true)
        [[ $name == "${caption[$window]}" ]] && break
        sleep 0.1
    done
    if [[ $name != "${caption[$window]}" ]]; then
        echo "$window: the window system shows \"$name\", not \"${caption[$window]}\"" >&2
        failed=1
    fi
done

main=$(awk '$1 == "MAIN" { print $2 }' "$work/out")
if ! xdotool search --class '^Marevo$' 2>/dev/null | grep -qx "$main"; then
    echo "MAIN: not in the window class Marevo" >&2
    failed=1
fi
[[ $failed == 0 ]] && echo "every caption as the window system shows it is the window's own"
exit $failed
