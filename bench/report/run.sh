#!/usr/bin/env bash
# Time and peak memory of corvane-alarm-report on a year of a busy car (about two
# million alarm lines), from the log and from a history file, against reading the
# same log with wc -l as the baseline. Medians of three runs.
#   bench/report/run.sh [build dir] [days]
set -euo pipefail
BUILD="${1:-build}"
DAYS="${2:-365}"
WORK="$(mktemp -d "${TMPDIR:-/tmp}/corvane-bench-report.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
export QT_QPA_PLATFORM=offscreen
# A zone with clock changes: the log repeats an hour each autumn.
export TZ=Europe/Berlin

"$BUILD/bench/report/corvane-bench-report-gen" --days "$DAYS" --log "$WORK/alarm_log.txt" --history "$WORK/history.sqlite"
echo "log: $(du -h "$WORK/alarm_log.txt" | cut -f1), history: $(du -h "$WORK/history.sqlite" | cut -f1)"

# median of three: "seconds peak-KiB"
measure() {
  for _ in 1 2 3; do
    /usr/bin/time -f '%e %M' -o "$WORK/time" "$@" >/dev/null 2>"$WORK/stderr"
    cat "$WORK/time"
  done | sort -n | sed -n 2p
}
report() {
  read -r s kib <<<"$(measure "$@")"
  awk -v l="$LABEL" -v s="$s" -v k="$kib" 'BEGIN { printf "%-52s %6.2f s %8.1f MB\n", l, s, k / 1024 }'
}
LABEL="baseline: wc -l of the log" report wc -l "$WORK/alarm_log.txt"
LABEL="report from the log (terminal)" report "$BUILD/src/app/corvane-alarm-report" --log "$WORK/alarm_log.txt"
LABEL="report from the log (terminal, HTML, CSV)" report "$BUILD/src/app/corvane-alarm-report" \
  --log "$WORK/alarm_log.txt" --html "$WORK/report.html" --csv "$WORK/csv"
LABEL="report from the history (terminal, HTML, CSV)" report "$BUILD/src/app/corvane-alarm-report" \
  --history "$WORK/history.sqlite" --html "$WORK/report.html" --csv "$WORK/csv"
echo "HTML page: $(du -h "$WORK/report.html" | cut -f1)"
