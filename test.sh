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

echo "== core tests under address,undefined sanitizers"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVQ7_CORE_ONLY=ON \
      -DVQ7_BENCH=OFF -DVQ7_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan -L core --output-on-failure -j"$jobs" --timeout 600

if [ -x fuzz/run.sh ]; then
  echo "== fuzz targets"
  fuzz/run.sh
fi
echo "All tests passed."
