#!/usr/bin/env bash
# Pictures of every window and dialog under a real window manager, for docs/:
# Xvfb with openbox, the windows shown over the simulated rig by
# build/tests/ui/vq7windowshots and taken with ImageMagick's import (frame
# included). Needs xvfb, openbox and imagemagick (VQ7_WINDOW_SHOTS=1 scripts/deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_DIR:-build}
OUT=${1:-docs/windows}
cmake --build "$BUILD" --target vq7windowshots >/dev/null
mkdir -p "$OUT"
display=:${VQ7_SHOTS_DISPLAY:-87}
Xvfb "$display" -screen 0 1280x960x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
wm=
cleanup() {
  [ -n "$wm" ] && kill "$wm" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
QT_QPA_PLATFORM=xcb "$BUILD/tests/ui/vq7windowshots" "$OUT"
ls -l "$OUT"
