#!/bin/sh
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a while,
# two at a time, nice'd, growing tests/fuzz/corpus/<target>/ and then minimising it.
#   tests/fuzz/run.sh [seconds per target, default 300] [target...]
# Findings (crash-*, leak-*, timeout-*) land in build-fuzz/findings/<target>/.
set -eu
cd "$(dirname "$0")/../.."
root=$(pwd)
seconds=${1:-300}
[ $# -gt 0 ] && shift
targets=${*:-"value numbertext setpoint mqttpayload"}

if ! command -v clang++ >/dev/null 2>&1 || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get install -y --no-install-recommends clang libclang-rt-dev
fi

cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCORVANE_FUZZ=ON \
  -DCORVANE_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
nice ninja -C build-fuzz -j2 $(for t in $targets; do printf 'fuzz_%s ' "$t"; done)

run() {
  t=$1
  corpus=$root/tests/fuzz/corpus/$t
  work=$root/build-fuzz/work/$t
  findings=$root/build-fuzz/findings/$t
  rm -rf "$work"; mkdir -p "$work" "$findings"
  cp "$corpus"/* "$work"/
  (cd "$findings" && nice "$root/build-fuzz/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len=512 \
    -print_final_stats=1 "$work" >"$root/build-fuzz/fuzz_$t.log" 2>&1) || { echo "fuzz_$t: FAILED, see build-fuzz/fuzz_$t.log"; return 1; }
  # Keep only what adds coverage.
  rm -rf "$corpus.new"; mkdir -p "$corpus.new"
  nice "$root/build-fuzz/tests/fuzz/fuzz_$t" -merge=1 "$corpus.new" "$work" >>"$root/build-fuzz/fuzz_$t.log" 2>&1
  rm -rf "$corpus"; mv "$corpus.new" "$corpus"
  echo "fuzz_$t: $(grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::average_exec_per_sec)' "$root/build-fuzz/fuzz_$t.log" | tr '\n' ' ')"
  echo "fuzz_$t: corpus $(ls "$corpus" | wc -l) files, $(du -sk "$corpus" | cut -f1) KiB"
}

status=0
set -- $targets
while [ $# -gt 0 ]; do
  run "$1" & a=$!
  b=
  if [ $# -gt 1 ]; then run "$2" & b=$!; shift; fi
  shift
  wait $a || status=1
  [ -z "$b" ] || wait $b || status=1
done
exit $status
