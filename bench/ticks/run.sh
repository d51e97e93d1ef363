#!/usr/bin/env bash
# Instructions per red-flash tick of each flashing screen, counted by callgrind:
#   bench/ticks/run.sh [BUILD_DIR] [TICKS]      (defaults: build, 200)
# "tick" is the handler alone; "tick+paint" adds the repaint Qt does for what changed.
set -euo pipefail
build=${1:-build}
ticks=${2:-200}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
ninja -C "$build" corvane-bench-ticks >/dev/null
QT_QPA_PLATFORM=offscreen valgrind --tool=callgrind --instr-atstart=no \
    --callgrind-out-file="$out/callgrind.out.%p" \
    "$build/bench/ticks/corvane-bench-ticks" --ticks "$ticks" >"$out/stdout" 2>"$out/valgrind.log"
printf '%-14s %-9s %-11s %14s\n' screen data what 'instr/tick'
for f in $(ls "$out"/callgrind.out.*.* | sort -V); do
    label=$(sed -n 's/^desc: Trigger: Client Request: //p' "$f")
    total=$(sed -n 's/^totals: //p' "$f" | head -1 | cut -d' ' -f1)
    n=${label##*n=}
    read -r screen data what _ <<<"$label"
    printf '%-14s %-9s %-11s %14d\n' "$screen" "$data" "$what" $((total / n))
done
