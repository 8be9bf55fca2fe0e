#!/usr/bin/env bash
# Installs what is missing, builds, and starts the window against the simulated rig
# (./run.sh --headless, or no display: the same series without a window, by vq7ctl).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
exec ./scripts/demo.sh "$@"
