#!/usr/bin/env bash
# Builds a libFuzzer target with clang in its own build folder and runs it
# from the inputs kept in the source folder's seeds/ (seed inputs and every
# crash input ever found, each a file).
#
# Usage: run_fuzz.sh TARGET FUZZ_SOURCE_DIR BUILD_DIR MODE [libFuzzer options]
#   MODE --ci RUNS SEED   replays every kept input once, then runs exactly RUNS
#                         more inputs made from them with the random seed SEED:
#                         the same inputs on every run, so the outcome never
#                         depends on chance or on the machine's speed (CTest)
#   MODE --seconds N      open-ended fuzzing for N seconds (by hand)
# A crash leaves its input in BUILD_DIR/crash-*: keep it in seeds/ and fix it.
set -euo pipefail
target=$1 src=$2 build=$3 mode=$4
shift 4
case "$mode" in
  --ci) runs=$1 seed=$2; shift 2 ;;
  --seconds) seconds=$1; shift ;;
  *) echo "usage: $0 TARGET FUZZ_SOURCE_DIR BUILD_DIR (--ci RUNS SEED | --seconds N) [libFuzzer options]" >&2; exit 2 ;;
esac
cmake -S "$src" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 >/dev/null
# A fresh working corpus each time: inputs found by an earlier run must not
# change what this one does.
corpus="$build/corpus"
rm -rf "$corpus"
mkdir -p "$corpus"
cp "$src"/seeds/* "$corpus/"
rm -f "$build"/crash-* "$build"/leak-* "$build"/timeout-* "$build"/oom-*
log="$build/fuzz.log"
status=0
common=(-rss_limit_mb=2048 -artifact_prefix="$build/" -print_final_stats=1 "$@")
if [ "$mode" = --ci ]; then
  # libFuzzer learns from the values the target compares, addresses among
  # them: without address randomisation the same seed makes the same inputs
  # (where that cannot be switched off, it does without those values).
  fixed=()
  if setarch "$(uname -m)" -R true 2>/dev/null; then
    fixed=(setarch "$(uname -m)" -R)
  else
    common+=(-use_cmp=0)
  fi
  # Every kept input once, as it is...
  "${fixed[@]}" "$build/$target" "${common[@]}" "$src"/seeds/* >"$log" 2>&1 || status=$?
  kept=$(ls "$src"/seeds | wc -l)
  if [ "$status" -eq 0 ]; then
    # ...then a fixed number of inputs derived from them by a fixed seed.
    "${fixed[@]}" "$build/$target" "${common[@]}" -runs="$runs" -seed="$seed" -reload=0 "$corpus" >>"$log" 2>&1 || status=$?
  fi
  echo "$target: $kept kept inputs replayed, then $runs inputs with seed $seed, exit status $status"
else
  "$build/$target" "${common[@]}" -max_total_time="$seconds" "$corpus" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  echo "$target: ${runs:-?} inputs in ${seconds} s, exit status $status"
fi
if [ "$status" -ne 0 ]; then
  tail -40 "$log"
  echo "$target: crash; the input is in $build/crash-* (keep it in $src/seeds/ with a name that says what it is)"
  exit 1
fi
