#!/usr/bin/env bash
# Demonstration against the simulated rig on loopback.
#   demo.sh             the window (vq7station) against vq7sim; this terminal is the rig's panel
#   demo.sh --headless  verification, calibration with the pairs written, verification again, by vq7ctl
# Without a display the headless series runs.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_DIR:-build}
SIM=$BUILD/sim/vq7sim
CTL=$BUILD/tools/vq7ctl/vq7ctl
STATION=$BUILD/src/app/vq7station

headless=0
[ "${1:-}" = "--headless" ] && headless=1
if [ $headless = 0 ] && [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "demo: no display, so the headless series runs instead of the window (vq7ctl)."
  headless=1
fi
if [ $headless = 0 ] && [ ! -x "$STATION" ]; then
  echo "demo: $STATION is not built, so the headless series runs instead of the window."
  headless=1
fi
for p in "$SIM" "$CTL"; do
  [ -x "$p" ] || { echo "demo: $p is not built" >&2; exit 1; }
done

work=$(mktemp -d /tmp/vq7demo.XXXXXX)
# The series' config.ini, Log and BACKUP files outlive the demo.
files=${DEMO_FILES:-$(mktemp -d /tmp/vq7demo-files.XXXXXX)}
simpid=
stationpid=
cleanup() {
  exec 3>&- 2>/dev/null || true
  if [ -n "$stationpid" ]; then kill "$stationpid" 2>/dev/null || true; wait "$stationpid" 2>/dev/null || true; fi
  if [ -n "$simpid" ]; then kill "$simpid" 2>/dev/null || true; wait "$simpid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Starts vq7sim with its console on a fifo (fd 3) and sets $port.
start_sim() {
  mkfifo "$work/console"
  if [ "$1" = tee ]; then
    "$SIM" "${@:2}" <"$work/console" > >(tee "$work/sim.log") 2>&1 &
  else
    "$SIM" "${@:2}" <"$work/console" >"$work/sim.log" 2>&1 &
  fi
  simpid=$!
  exec 3>"$work/console"   # the simulator's console stays open while the demo runs
  port=
  for _ in $(seq 100); do
    port=$(sed -n 's/^vq7sim: TCP gateway on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/sim.log" | head -n1)
    [ -n "$port" ] && return 0
    kill -0 "$simpid" 2>/dev/null || { cat "$work/sim.log" >&2; exit 1; }
    sleep 0.1
  done
  echo "demo: the simulator did not start" >&2
  cat "$work/sim.log" >&2
  exit 1
}

if [ $headless = 0 ]; then
  echo "== vq7sim: default rig of ten meters (11000001 .. 11000010) on loopback"
  start_sim tee --tcp 127.0.0.1:0 --integration-ms "${INTEGRATION_MS:-3000}" --flow 10
  cat >"$files/config.ini" <<EOC
[CONNECTION]
port=TCP/IP
IP=127.0.0.1
TCPIPport=$port
speed=9600
EOC
  "$STATION" --dir "$files" &
  stationpid=$!
  cat <<EOT
== vq7station runs against the simulator on 127.0.0.1:$port; its files are in $files
   In the window: type the meter numbers 11000001 .. 11000010 (and a Ду such as 50) on "Уставки",
   press the first tool button, then start cycles on "Градуировка" or "Поверка".
   This terminal is the rig's panel: after each cycle it prints the reference flow to type into
   the Ge dialog; type "flow N" here to set the rig's flow to N m3/h ("help" lists more).
EOT
  # The operator's lines go to the simulator's console until the window is closed.
  while kill -0 "$stationpid" 2>/dev/null; do
    if IFS= read -r -t 1 line; then
      printf '%s\n' "$line" >&3
    elif [ $? -le 128 ]; then
      wait "$stationpid" || true   # end of input: just wait for the window
      break
    fi
  done
  stationpid=
  echo "== vq7station closed; files of this run: $files"
  exit 0
fi

start_sim quiet --tcp 127.0.0.1:0 --integration-ms "${INTEGRATION_MS:-400}" --flow 0 \
  --reference-file "$work/reference.txt"
echo "== vq7sim: default rig of ten meters on 127.0.0.1:$port"

# The rig's flow is set through the simulator's console, as an operator would.
cat >"$work/setflow" <<EOS
#!/bin/sh
echo "flow \$1" >>"$work/console"
sleep 0.3
EOS
chmod +x "$work/setflow"

meters=11000001,11000002:65,11000003:50,11000004:40,11000005:80,11000006:100,11000007:32,11000008:25,11000009:50,11000010:20
common=(--ip 127.0.0.1 --tcp-port "$port" --database "$files/results.sqlite")
series=(--meters "$meters" --ge-file "$work/reference.txt" --set-flow "$work/setflow" --dir "$files")
check_points=25,9,3,0.8
cal_points=40,20,12,6,2,0.5

echo "== verification before calibration"
"$CTL" "${common[@]}" verify "${series[@]}" --points "$check_points" >"$work/before.txt" ||
  { cat "$work/before.txt"; exit 1; }
cat "$work/before.txt"
echo "== calibration, pairs written into the meters"
"$CTL" "${common[@]}" calibrate "${series[@]}" --points "$cal_points" --cycles 2 --write
echo "== verification after calibration"
"$CTL" "${common[@]}" verify "${series[@]}" --points "$check_points" >"$work/after.txt" ||
  { cat "$work/after.txt"; exit 1; }
cat "$work/after.txt"

# Mean |error| per meter over the verification points, before and after.
summary() {
  awk '/^Поверка: погрешность/ {t=1; n=0; next}
       t && !NF { t=0 }
       t && NF { n++; if (n == 1) next; if (n == 2) { for (i = 3; i <= NF; i++) id[i] = $i; next }
                 for (i = 2; i <= NF; i++) { s[i] += ($i < 0 ? -$i : $i); c[i]++ } m = NF }
       END { for (i = 2; i <= m; i++) printf "%s %.3f\n", id[i+1], s[i] / c[i] }' "$1"
}
echo "== mean |error|, %: meter, before, after"
join <(summary "$work/before.txt") <(summary "$work/after.txt") |
  awk '{ printf "%10s %8.3f %8.3f\n", $1, $2, $3 }'
echo "== Log and BACKUP files of this run: $files"
