#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# (a build tree of their own, build-fuzz) and runs each for SECONDS (default 60), starting
# from the seeds in fuzz/corpus/<target>. New inputs go to a scratch folder, so the seeds in
# the repository stay small; a crash leaves its input in build-fuzz/crashes/ and fails the run.
# With --replay it only runs every input of the repository's corpora once (the found crashes
# among them): a fixed, repeatable check, which is what the test script runs in CI; a run that
# explores can find something new at any time and is for developers.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...] | scripts/fuzz.sh --replay [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
replay=0
if [ "${1:-}" = --replay ]; then replay=1; shift; seconds=0
else seconds=${1:-60}; shift || true; fi
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
