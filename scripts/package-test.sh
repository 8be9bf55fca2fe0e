#!/usr/bin/env bash
# Builds the Debian package, installs it with apt-get and runs the installed programs
# as a fresh user account: the simulator on loopback, vq7ctl against it (its files
# must land in that user's ~/.local/share/vq7station), and vq7station offscreen.
# Needs root (apt-get, useradd); removes the package and the account afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_DIR:-build}
[ "$(id -u)" -eq 0 ] || { echo "package-test: run as root" >&2; exit 2; }
cmake --build "$BUILD" --target package >/dev/null
deb=$(ls -t "$BUILD"/vq7station_*.deb | head -n1)
echo "== installing $deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$(realpath "$deb")" >/dev/null
user=vq7pkg$$
useradd -m -s /bin/bash "$user"
cleanup() {
  pkill -u "$user" 2>/dev/null || true
  userdel -r "$user" 2>/dev/null || true
  [ -n "${KEEP_PACKAGE:-}" ] || DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq vq7station >/dev/null || true
}
trap cleanup EXIT
home=$(getent passwd "$user" | cut -d: -f6)
dpkg -L vq7station | grep -E '^/usr/(bin|share/vq7station|share/applications)' | sed 's/^/  /'

run() { su - "$user" -c "$*"; }
run 'vq7sim --tcp 127.0.0.1:0 --integration-ms 200 </dev/null >sim.log 2>&1 & echo $! >sim.pid'
port=
for _ in $(seq 50); do
  port=$(sed -n 's/^vq7sim: TCP gateway on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$home/sim.log" | head -n1)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { cat "$home/sim.log"; exit 1; }
echo "== vq7ctl as $user against vq7sim on port $port"
run "vq7ctl --ip 127.0.0.1 --tcp-port $port identify 11000001 11000004"
run "vq7ctl --ip 127.0.0.1 --tcp-port $port backup 11000004"
test -s "$home/.local/share/vq7station/BACKUP/11000004.dat"
echo "backup kept in ~/.local/share/vq7station/BACKUP/11000004.dat"
if command -v vq7station >/dev/null; then
  echo "== vq7station offscreen"
  run "QT_QPA_PLATFORM=offscreen timeout 5 vq7station; test \$? -eq 124"
  ls "$home/.local/share/vq7station"
fi
run 'kill $(cat sim.pid)'
echo "package test passed"
