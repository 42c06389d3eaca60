#!/usr/bin/env bash
# CPU use of the running game while one yacht sails alone (goal: at most 1 % of a core: the loop
# sleeps between its 200 ms steps). Start-up is counted apart: the game is given 3 s to start,
# then its CPU time is read from /proc over the next 10 s of sailing.
# Usage: bench/app/cpu_use.sh [path to marevo] [seconds]   (headless unless DISPLAY is set)
set -euo pipefail
game=${1:-build/default/app/marevo}
seconds=${2:-10}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
"$game" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT
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
