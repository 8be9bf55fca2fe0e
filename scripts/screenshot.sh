#!/usr/bin/env bash
# Pictures of the main window for the README: the window test drives a calibration
# series against the simulated rig and grabs the window (offscreen, no display needed).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_DIR:-build}
cmake --build "$BUILD" --target TForm1Test >/dev/null
mkdir -p docs
VQ7_SCREENSHOT_DIR="$PWD/docs" QT_QPA_PLATFORM=offscreen "$BUILD/tests/ui/TForm1Test" wholeSeriesThroughTheWindow
ls -l docs/main-*.png
