#!/usr/bin/env bash
# Bytes on the wire of a two-player session on loopback: two whole games (offscreen) find each
# other, swap hull textures, then sail for a while (60 s unless told) and part. Each sends its
# 28-byte state once a second; everything else on the wire is the transport's own traffic
# (headers, acknowledgements, keep-alive pings) and, at the start, the search and the textures.
#
# Usage: bench/app/wire_use.sh [path to marevo_peer] [seconds of sailing]
#
# Counts with the kernel's counters of the loopback device, in a network namespace of the
# script's own where unshare allows it, so that nothing else is counted; otherwise on the
# shared loopback, which other programs may add to. Sizes are IP packet sizes (IPv4 and UDP
# headers included).
set -euo pipefail
peer=$(realpath "${1:-build/default/tests/app/marevo_peer}")
seconds=${2:-60}
textures=$(dirname "$peer")/../../app

if [[ -z ${MAREVO_WIRE_NAMESPACE:-} ]] && unshare --net --map-root-user true 2>/dev/null; then
    exec env MAREVO_WIRE_NAMESPACE=1 unshare --net --map-root-user \
        sh -c 'ip link set lo up && exec "$0" "$@"' "$0" "$peer" "$seconds"
fi
if [[ -z ${MAREVO_WIRE_NAMESPACE:-} ]]; then
    echo "note: no network namespace here; other loopback traffic is counted too" >&2
fi
export QT_QPA_PLATFORM=offscreen

work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
port=$((29600 + RANDOM % 300))

# "bytes packets" sent over the loopback device so far (each is received once as well).
loopback() { sed 's/:/ /' /proc/net/dev | awk '$1 == "lo" { print $10, $11 }'; }

# Waits up to 30 s for a line of player $1 that matches $2.
wait_line() {
    for _ in $(seq 300); do
        grep -q -- "$2" "$work/$1/out" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "player $1 never said $2" >&2
    cat "$work/$1/out" "$work/$1/err" >&2
    exit 1
}

# Starts player $1 with its commands on file descriptor $2.
start() {
    mkdir "$work/$1"
    cp "$textures/HALTEX.BMP" "$textures/SPINTEX.BMP" "$work/$1/"
    mkfifo "$work/$1/in"
    (cd "$work/$1" && exec "$peer" "$port" <in >out 2>err) &
    pids+=($!)
    eval "exec $2>\"$work/$1/in\""
    wait_line "$1" '^READY'
}

read -r b0 p0 < <(loopback)
start anna 3
echo "HOST anna" >&3
wait_line anna '^ID '
start ben 4
echo "JOIN ben" >&4
wait_line ben '^ID '
for p in anna ben; do
    for _ in $(seq 300); do
        [[ -s $work/$p/ENTEX.BMP ]] && break
        sleep 0.1
    done
done
sleep 2
read -r b1 p1 < <(loopback)
states0=$(cat "$work"/*/out | grep -c '^SENT' || true)
sleep "$seconds"
read -r b2 p2 < <(loopback)
states1=$(cat "$work"/*/out | grep -c '^SENT' || true)
echo QUIT >&3
echo QUIT >&4
wait "${pids[@]}"
pids=()
read -r b3 p3 < <(loopback)

states=$((states1 - states0))
awk -v b0="$b0" -v p0="$p0" -v b1="$b1" -v p1="$p1" -v b2="$b2" -v p2="$p2" -v b3="$b3" \
    -v p3="$p3" -v s="$seconds" -v n="$states" 'BEGIN {
    printf "%-34s %10s %8s\n", "", "bytes", "packets"
    printf "%-34s %10d %8d\n", "search, join and the two textures", b1 - b0, p1 - p0
    printf "%-34s %10d %8d\n", "sailing " s " s", b2 - b1, p2 - p1
    printf "%-34s %10d %8d\n", "parting", b3 - b2, p3 - p2
    printf "%-34s %10d %8d\n", "whole session", b3 - b0, p3 - p0
    sail = b2 - b1
    printf "\nsailing: %.1f bytes/s for two players, %.1f per player per second\n", \
        sail / s, sail / s / 2
    printf "of which game state: %d messages of 28 bytes = %.1f bytes/s (%.0f %%)\n", \
        n, 28 * n / s, 100 * 28 * n / sail
    printf "IPv4 and UDP headers: %.1f bytes/s; the transport%s own: %.1f bytes/s\n", \
        28 * (p2 - p1) / s, "\047s", (sail - 28 * (p2 - p1) - 28 * n) / s
}'
