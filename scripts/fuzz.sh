#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# (a build tree of their own, build-fuzz) and runs each for SECONDS (default 60), starting
# from the seeds in fuzz/corpus/<target>. New inputs go to a scratch folder, so the seeds in
# the repository stay small; a crash leaves its input in build-fuzz/crashes/ and fails the run.
# With --replay it only runs every input of the repository's corpora once (the found crashes
# among them). With --ci it replays them and then explores each target for a fixed number of
# runs from a fixed seed, starting afresh from the seeds (about ten seconds a target): the
# short search CI makes on every change. Longer searches run by hand.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...] | scripts/fuzz.sh --replay|--ci [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
replay=0 ci=0
if [ "${1:-}" = --replay ]; then replay=1; shift; seconds=0
elif [ "${1:-}" = --ci ]; then ci=1; shift; seconds=0
else seconds=${1:-60}; shift || true; fi
# Runs a target makes in CI: about ten seconds of each on this kind of machine.
declare -A ciRuns=([Bmp]=200000 [Layout]=10000 [Region]=250000 [Jpeg]=1000000 [RawFrame]=2000000 [V4l2Answers]=300000)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(Bmp Layout Region Jpeg RawFrame V4l2Answers)
cmake -S . -B build-fuzz -DLUMO_FUZZ=ON -DLUMO_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} >/dev/null
cmake --build build-fuzz -j "${FUZZ_JOBS:-$(nproc)}" --target "${targets[@]/#/fuzz_}"
mkdir -p build-fuzz/crashes
failed=()
for t in "${targets[@]}"; do
  work=build-fuzz/corpus/$t
  mkdir -p "$work"
  log=build-fuzz/$t.log
  if [ "$replay" = 1 ]; then
    echo "== fuzz_$t: every input of fuzz/corpus/$t once =="
    runs=(-runs=0 "fuzz/corpus/$t")
  elif [ "$ci" = 1 ]; then
    echo "== fuzz_$t: every input of fuzz/corpus/$t, then ${ciRuns[$t]} runs from seed 1 =="
    rm -rf "$work" && mkdir -p "$work"
    runs=(-seed=1 -runs="${ciRuns[$t]}" "$work" "fuzz/corpus/$t")
  else
    echo "== fuzz_$t for ${seconds}s =="
    runs=(-max_total_time="$seconds" "$work" "fuzz/corpus/$t")
  fi
  if ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0 LSAN_OPTIONS=suppressions=$PWD/fuzz/lsan.supp \
     UBSAN_OPTIONS=print_stacktrace=1 \
     build-fuzz/fuzz/fuzz_$t -max_len=65536 -rss_limit_mb=2560 \
       -timeout=20 -print_final_stats=1 -artifact_prefix=build-fuzz/crashes/$t- \
       "${runs[@]}" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$log" | tail -2
  else
    tail -40 "$log"
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "Crashes in: ${failed[*]} (inputs in build-fuzz/crashes/)" >&2
  exit 1
fi
