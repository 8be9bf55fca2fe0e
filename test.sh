#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then the core tests
# again under AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 300

echo "== fault matrix (short form)"
timeout 300 python3 scripts/fault_matrix.py --short --build build

echo "== core tests under address,undefined sanitizers"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVQ7_CORE_ONLY=ON \
      -DVQ7_BENCH=OFF -DVQ7_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
  ctest --test-dir build-asan -L core --output-on-failure -j"$jobs" --timeout 600

tsan_targets=$(ls tests/measurement/CMakeLists.txt >/dev/null 2>&1 && echo measurement_tests || true)
if [ -n "$tsan_targets" ]; then
  echo "== measurement engine under thread sanitizer"
  cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVQ7_CORE_ONLY=ON \
        -DVQ7_BENCH=OFF -DVQ7_SANITIZE=thread >/dev/null
  cmake --build build-tsan -j"$jobs" --target $tsan_targets
  for t in $tsan_targets; do
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" "$(find build-tsan/tests -type f -name "$t" | head -1)"
  done
fi

if [ -x fuzz/run.sh ]; then
  echo "== fuzz targets"
  fuzz/run.sh
fi
echo "All tests passed."
