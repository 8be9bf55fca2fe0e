#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then the core tests again
# under AddressSanitizer + UndefinedBehaviorSanitizer, the threaded tests under
# ThreadSanitizer, and the fuzz targets for a short time.
#   ./test.sh --quick   build and run the tests once, nothing else
set -euo pipefail
cd "$(dirname "$0")"
started=$(date +%s)
stage() { echo "== $1 ($(( $(date +%s) - started )) s in)"; }
./scripts/deps.sh
stage "build"

jobs=$(nproc)
cmake --preset dev >/dev/null
cmake --build --preset dev -j"$jobs"
stage "tests"
ctest --preset dev -j"$jobs"
if [ "${1:-}" = --quick ]; then
  echo "All tests passed (quick)."
  exit 0
fi

stage "fault matrix (short form)"
timeout 300 python3 scripts/fault_matrix.py --short --build build

stage "core tests under address,undefined sanitizers"
cmake --preset asan-ubsan >/dev/null
cmake --build --preset asan-ubsan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
  ctest --preset asan-ubsan -j"$jobs"

stage "threaded tests under thread sanitizer"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j"$jobs" --target tsan_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --preset tsan -j"$jobs"

if [ -x fuzz/run.sh ]; then
  stage "fuzz targets"
  FUZZ_SECONDS=${FUZZ_SECONDS:-8} fuzz/run.sh
fi
stage "done"
echo "All tests passed."
