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
  start_sim tee --tcp 127.0.0.1:0 --integration-ms "${INTEGRATION_MS:-3000}" --flow 10 \
    --modbus 127.0.0.1:0 --rig-config "$work/rig.ini"
  cat >"$files/config.ini" <<EOC
[CONNECTION]
port=TCP/IP
IP=127.0.0.1
TCPIPport=$port
speed=9600
EOC
  # The rig's reference over Modbus fills in Ge; the operator confirms it in the dialog.
  sed 's/^unattended=1/unattended=0/' "$work/rig.ini" >>"$files/config.ini"
  "$STATION" --dir "$files" &
  stationpid=$!
  cat <<EOT
== vq7station runs against the simulator on 127.0.0.1:$port; its files are in $files
   In the window: type the meter numbers 11000001 .. 11000010 (and a Ду such as 50) on "Уставки",
   press the first tool button, then start cycles on "Градуировка" or "Поверка".
   The rig's reference meter answers over Modbus: after each cycle the Ge dialog opens with the
   reference's flow filled in; press Enter to take it. This terminal is the rig's panel: type
   "flow N" here to set the rig's flow to N m3/h, "modbus stuck" for a reference fault ("help" lists more).
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
  --modbus 127.0.0.1:0 --rig-config "$work/rig.ini" --settle-s 0.3
echo "== vq7sim: default rig of ten meters on 127.0.0.1:$port, its reference and pump drive over Modbus"
for _ in $(seq 50); do [ -s "$work/rig.ini" ] && break; sleep 0.1; done
# Unattended: the drive sets each flow, the reference gives Ge; nothing is typed.
sed 's/^settle_time=.*/settle_time=0.6/' "$work/rig.ini" >"$files/config.ini"

meters='"11000001", "11000002:65", "11000003:50", "11000004:40", "11000005:80", "11000006:100", "11000007:32",
  "11000008:25", "11000009:50", "11000010:20"'
points() { local out="" f; for f in "$@"; do out+="${out:+, }{\"flow\": ${f%:*}, \"cycles\": ${f#*:}}"; done; echo "$out"; }
check_points=$(points 25:1 9:1 3:1 0.8:1)
cat >"$files/verify.json" <<EOP
{"kind": "verification", "meters": [$meters], "points": [$check_points]}
EOP
cat >"$files/calibrate.json" <<EOP
{"kind": "calibration", "meters": [$meters], "points": [$(points 40:2 20:2 12:2 6:2 2:2 0.5:2)],
 "verify_after": [$check_points], "write": true}
EOP
common=(--ip 127.0.0.1 --tcp-port "$port" --config "$files/config.ini" --database "$files/results.sqlite")

echo "== verification before calibration (plan $files/verify.json)"
"$CTL" "${common[@]}" plan run "$files/verify.json" --dir "$files" >"$work/before.txt" ||
  { cat "$work/before.txt"; exit 1; }
cat "$work/before.txt"
echo "== calibration, pairs written into the meters, verification after it (plan $files/calibrate.json)"
"$CTL" "${common[@]}" plan run "$files/calibrate.json" --dir "$files" >"$work/after.txt" ||
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
