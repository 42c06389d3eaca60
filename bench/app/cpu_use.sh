#!/usr/bin/env bash
# CPU use of the running game while one yacht sails alone, over 10 s, start-up included (goal: at
# most 1 % of a core: the loop sleeps between its 200 ms steps).
# Usage: bench/app/cpu_use.sh [path to marevo]   (headless unless DISPLAY is set)
set -euo pipefail
game=${1:-build/default/app/marevo}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
out=$(mktemp)
/usr/bin/time -f '%U %S %e' -o "$out" timeout 10 "$game" || true
read -r user sys elapsed < <(tail -n 1 "$out")
rm -f "$out"
awk -v u="$user" -v s="$sys" -v e="$elapsed" \
    'BEGIN { printf "cpu %.2f s over %.1f s: %.1f %% of one core\n", u + s, e, 100 * (u + s) / e }'
