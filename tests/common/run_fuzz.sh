#!/usr/bin/env bash
# Builds a libFuzzer target with clang in its own build folder and runs it for
# a while, starting from the seed inputs in the source folder's seeds/.
# Usage: run_fuzz.sh TARGET FUZZ_SOURCE_DIR BUILD_DIR SECONDS [libFuzzer options]
set -euo pipefail
target=$1 src=$2 build=$3 seconds=$4
shift 4
cmake -S "$src" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 >/dev/null
corpus="$build/corpus"
mkdir -p "$corpus"
cp "$src"/seeds/* "$corpus/"
rm -f "$build"/crash-*
log="$build/fuzz.log"
status=0
"$build/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -artifact_prefix="$build/" \
  -print_final_stats=1 "$@" "$corpus" >"$log" 2>&1 || status=$?
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
echo "$target: ${runs:-?} inputs in ${seconds} s, exit status $status"
if [ "$status" -ne 0 ]; then
  tail -40 "$log"
  echo "$target: crash; the input is in $build/crash-*"
  exit 1
fi
