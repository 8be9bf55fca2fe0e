#!/usr/bin/env bash
# CPU of the measurement worker while it polls ten meters (vq7ctl measure against
# the simulator at an emulated 115200 and 9600 baud), and of the GUI at rest
# (vq7station offscreen, when it is built). Figures are the share of one core over
# a window of SECONDS, from the processes' user + system ticks.
#
#   bench/cpu_load.sh [SECONDS]     default 8, at most 120
# Environment: VQ7_BUILD (default build). Works in a mktemp folder, on loopback.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
window=${1:-8}
[[ $window =~ ^[0-9]+$ ]] && (( window >= 2 && window <= 120 )) || { echo "cpu_load: SECONDS is 2..120" >&2; exit 2; }
build=${VQ7_BUILD:-$root/build}
sim_bin=$build/sim/vq7sim
ctl_bin=$build/tools/vq7ctl/vq7ctl
gui_bin=$build/src/app/vq7station
[ -x "$sim_bin" ] && [ -x "$ctl_bin" ] || { echo "cpu_load: build vq7sim and vq7ctl first" >&2; exit 2; }
hz=$(getconf CLK_TCK)
work=$(mktemp -d -t vq7cpu-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
# Share of one core used by PID over the window, in per cent.
cpu_share() {
  local pid=$1 before after
  before=$(ticks "$pid")
  sleep "$window"
  after=$(ticks "$pid")
  awk -v d=$((after - before)) -v hz="$hz" -v w="$window" 'BEGIN { printf "%.1f", 100 * d / hz / w }'
}

meters=11000001,11000002,11000003,11000004,11000005,11000006,11000007,11000008,11000009,11000010
for baud in 115200 9600; do
  "$sim_bin" --tcp 127.0.0.1:0 --baud "$baud" --integration-ms $(( (window + 4) * 1000 )) --no-console \
    >"$work/sim.log" 2>&1 &
  sim=$!; pids+=("$sim")
  port=""
  for _ in $(seq 100); do
    port=$(sed -n 's/^vq7sim: TCP gateway on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/sim.log")
    [ -n "$port" ] && break
    sleep 0.1
  done
  [ -n "$port" ] || { echo "cpu_load: vq7sim did not start"; exit 1; }
  "$ctl_bin" --ip 127.0.0.1 --tcp-port "$port" measure ${meters//,/ } --ge 10 --timeout $(( window + 60 )) \
    >"$work/ctl.log" 2>&1 &
  ctl=$!; pids+=("$ctl")
  sleep 3   # identification of the ten meters, then the cycle polls
  sim_before=$(ticks "$sim")
  share=$(cpu_share "$ctl")
  sim_share=$(awk -v d=$(( $(ticks "$sim") - sim_before )) -v hz="$hz" -v w="$window" \
    'BEGIN { printf "%.1f", 100 * d / hz / w }')
  printf 'worker polling ten meters at %6s baud: vq7ctl %5s %% of a core (vq7sim %s %%)\n' "$baud" "$share" "$sim_share"
  kill -KILL "$ctl" "$sim" 2>/dev/null || true
  wait "$ctl" "$sim" 2>/dev/null || true
done

if [ -x "$gui_bin" ]; then
  # A copy in the work folder keeps config.ini and the other files of the program there.
  mkdir -p "$work/gui"
  cp "$gui_bin" "$work/gui/"
  (cd "$work/gui" && HOME="$work/gui" XDG_DATA_HOME="$work/gui/data" XDG_CONFIG_HOME="$work/gui/config" \
     QT_QPA_PLATFORM=offscreen exec ./vq7station >"$work/gui.log" 2>&1) &
  gui=$!; pids+=("$gui")
  sleep 3
  if kill -0 "$gui" 2>/dev/null; then
    printf 'vq7station at rest (offscreen):         %5s %% of a core\n' "$(cpu_share "$gui")"
  else
    echo "vq7station ended at once:"; tail -5 "$work/gui.log"
  fi
else
  echo "vq7station is not built ($gui_bin): GUI idle CPU not measured"
fi
echo "(measured over ${window}s on a machine shared with other work: $(cut -d' ' -f1-3 /proc/loadavg) load)"
