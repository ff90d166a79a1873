#!/usr/bin/env bash
# Builds the protocol fuzz target with clang/libFuzzer in its own build folder
# and runs it for a while. Usage: run_fuzz.sh FUZZ_SOURCE_DIR BUILD_DIR SECONDS
set -euo pipefail
src=$1 build=$2 seconds=$3
cmake -S "$src" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 >/dev/null
corpus="$build/corpus"
mkdir -p "$corpus"
rm -f "$build"/crash-*
# Seeds: a batch, an attention, a PRELOGIN (the first byte 01 puts a login before them).
printf '\x01\x01\x01\x00\x10\x00\x00\x01\x00s\x001\x00 \x00x\x00' >"$corpus/batch"
printf '\x01\x06\x01\x00\x08\x00\x00\x01\x00' >"$corpus/attention"
printf '\x00\x12\x01\x00\x0e\x00\x00\x01\x00\x00\x00\x06\x00\x00\xff' >"$corpus/prelogin"
log="$build/fuzz.log"
status=0
"$build/fuzz_tds" -max_total_time="$seconds" -rss_limit_mb=2048 -artifact_prefix="$build/" \
  -print_final_stats=1 "$corpus" >"$log" 2>&1 || status=$?
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
echo "fuzz_tds: ${runs:-?} inputs in ${seconds} s, exit status $status"
if [ "$status" -ne 0 ]; then
  tail -40 "$log"
  echo "fuzz_tds: crash; the input is in $build/crash-*"
  exit 1
fi
