#!/usr/bin/env bash
# Installs what is missing, builds in Release and runs the whole test suite; a failing
# test's output is printed. With --sanitize (always on in CI) the suite runs a second time
# built with AddressSanitizer and UndefinedBehaviorSanitizer, and the unit tests a third time
# under ThreadSanitizer; between the two, each fuzzer replays its corpus and searches briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
sanitize=0
[ "${CI:-}" = true ] && sanitize=1
[ "${1:-}" = --sanitize ] && sanitize=1
scripts/deps.sh test
jobs=$(nproc)
# Cheap and first: an include that points up a layer fails the run before any build.
scripts/check-layers.sh

scripts/build.sh build
(cd build && ctest --output-on-failure -j "$jobs")
echo "== end to end: the x11 display in Xvfb with openbox =="
tests/e2e/run.sh build

if [ "$sanitize" = 1 ]; then
  echo "== again under AddressSanitizer and UndefinedBehaviorSanitizer =="
  # Unoptimised: the sanitizer build is about finding faults, and compiles much faster.
  scripts/build.sh build-asan -DLUMO_SANITIZE=ON -DLUMO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
     ctest --output-on-failure -j "$jobs")
  echo "== the readers of outside input under libFuzzer: the corpora, then a short search =="
  # Every seed and every crash found so far, then a fixed number of runs from a fixed seed
  # for each reader; longer searches run by hand (scripts/fuzz.sh SECONDS).
  scripts/fuzz.sh --ci
  echo "== the unit tests under ThreadSanitizer =="
  # halt_on_error: a data race fails the test that ran into it.
  scripts/build.sh build-tsan -DLUMO_TSAN=ON -DLUMO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
  (cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
     ctest --output-on-failure -j "$jobs")
fi

# The V4L2 driver against a real kernel camera driver (vivid) in a virtual machine.
scripts/vm-tests.sh build
