#!/usr/bin/env bash
# CPU use of the running game while one yacht sails alone (goal: at most 1 % of a core: the loop
# sleeps between its 200 ms steps). Start-up is counted apart: the game is given 3 s to start,
# then its CPU time is read from /proc over the next 10 s of sailing.
# With "smooth" as the third argument the game draws between steps (なめらか表示; goal: 60
# pictures a second within 10 % of a core). The game runs on settings of its own, not the
# player's.
# Usage: bench/app/cpu_use.sh [path to marevo] [seconds] [smooth]   (headless unless DISPLAY is set)
set -euo pipefail
game=${1:-build/default/app/marevo}
seconds=${2:-10}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
config=$(mktemp -d)
mkdir -p "$config/marevo"
if [ "${3:-}" = smooth ]; then
    printf '[view]\nsmooth=1\n' >"$config/marevo/marevo.conf"
fi
XDG_CONFIG_HOME="$config" "$game" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$config"' EXIT
ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
sleep 3
start=$(ticks)
sleep "$seconds"
end=$(ticks)
awk -v a="$start" -v b="$end" -v hz="$hz" -v t="$seconds" 'BEGIN {
    printf "start-up: cpu %.2f s in the first 3 s\n", a / hz
    printf "sailing: cpu %.2f s over %d s: %.2f %% of one core\n", (b - a) / hz, t, 100 * (b - a) / hz / t
}'
