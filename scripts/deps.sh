#!/usr/bin/env bash
# Installs the Debian packages the project needs, only when some are missing.
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config clang
  libgtest-dev libgmock-dev libbenchmark-dev libmodbus-dev python3
  libsimpleini-dev
  libzip-dev libpugixml-dev
  nlohmann-json3-dev libcli11-dev
  libsoci-dev libsqlite3-dev libpq-dev postgresql
)
# The Qt programs and their tests (skipped with VQ7_CORE_ONLY=1).
if [ "${VQ7_CORE_ONLY:-0}" != 1 ]; then
  packages+=(qt6-base-dev qt6-charts-dev qt6-serialport-dev qt6-svg-dev libqt6opengl6-dev libgl-dev libasound2-dev libxcb1-dev)
fi
# The window pictures of docs/ under a real window manager (scripts/window-shots.sh).
if [ "${VQ7_WINDOW_SHOTS:-0}" = 1 ]; then
  packages+=(xvfb openbox xdotool imagemagick)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
