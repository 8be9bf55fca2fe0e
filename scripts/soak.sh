#!/usr/bin/env bash
# Soak: calibration series one after another through vq7ctl against the simulator
# with about 5 % of the requests faulted, for a given time. At the end it checks
# that no series hung or crashed, the simulator lives, the memory of vq7sim and of
# vq7ctl stayed flat, and no calibration file or backup was lost or truncated.
#
#   scripts/soak.sh [SECONDS]     default 600, at most 14400
# Environment: VQ7_BUILD (default build), SOAK_DROP (gateway drop probability per
# request, default 0), SOAK_SERIES_LIMIT (seconds one series may take, default 300),
# SOAK_INTEGRATION_MS (default 2000).
# Everything lives in one mktemp folder and on loopback; every process is ended on exit.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
duration=${1:-600}
[[ $duration =~ ^[0-9]+$ ]] && (( duration >= 10 && duration <= 14400 )) ||
  { echo "soak: SECONDS must be 10..14400" >&2; exit 2; }
build=${VQ7_BUILD:-$root/build}
sim_bin=$build/sim/vq7sim
ctl_bin=$build/tools/vq7ctl/vq7ctl
[ -x "$sim_bin" ] && [ -x "$ctl_bin" ] || { echo "soak: build vq7sim and vq7ctl first ($build)" >&2; exit 2; }
drop=${SOAK_DROP:-0}
series_limit=${SOAK_SERIES_LIMIT:-300}

work=$(mktemp -d -t vq7soak-XXXXXX)
export VQ7_DATA_DIR=$work   # vq7ctl's write journal stays in here
sim_pid=""
ctl_pid=""
cleanup() {
  exec 3>&- 2>/dev/null || true
  for p in $ctl_pid $sim_pid; do
    kill -KILL "$p" 2>/dev/null || true
    wait "$p" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }
hwm_kb() { awk '/^VmHWM:/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }

# The simulator reads its console from a fifo kept open on fd 3.
mkfifo "$work/console"
"$sim_bin" --tcp 127.0.0.1:0 --integration-ms "${SOAK_INTEGRATION_MS:-2000}" --reference-file "$work/ge.txt" \
  --state "$work/state" <"$work/console" >"$work/sim.log" 2>&1 &
sim_pid=$!
exec 3>"$work/console"
port=""
for _ in $(seq 100); do
  port=$(sed -n 's/^vq7sim: TCP gateway on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/sim.log")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "soak: vq7sim did not start"; cat "$work/sim.log"; exit 1; }
for rule in silence:p=0.01 garbage:p=0.01 badcheck:p=0.01 truncate:p=0.01 busy:p=0.01; do
  echo "fault all $rule" >&3
done
[ "$drop" != 0 ] && echo "drop $drop -1" >&3
printf '#!/bin/sh\necho "flow $1" >%q\n' "$work/console" >"$work/setflow"
chmod +x "$work/setflow"

meters=11000001:15,11000002:25,11000003:20,11000004:32,11000005:40,11000006:50,11000007:65,11000008:80,11000009:100,11000010:150
series=0 ok=0 failed=0 hung=0 crashed=0 broken=0 cycles=0
declare -A failures=()
ref_files=""
first_hwm=0 last_hwm=0 max_hwm=0
sim_rss=()
start=$(date +%s)
echo "soak: ${duration}s of calibration series, 5 % faulted requests, gateway drop p=$drop (work folder $work)"

# Every file of the series: whole, parsable, at least two pairs; no temporary left.
check_files() {
  local dir=$1 bad=0 f
  while IFS= read -r -d '' f; do
    echo "  left behind: ${f#"$dir"/}"
    bad=1
  done < <(find "$dir" -name '*.tmp*' -print0)
  for f in "$dir"/Log/*.dat "$dir"/BACKUP/*.dat; do
    [ -e "$f" ] || continue
    if ! iconv -f CP1251 -t UTF-8 "$f" | tr -d '\r' | awk '
        NR <= 2 { next }
        $0 ~ /^[ \t]*$/ { next }
        NF < 3 || $2 !~ /^[-+0-9.eE]+$/ || $3 !~ /^[-+0-9.eE]+$/ { bad = 1 }
        { n++ }
        END { exit (bad || n < 2) }'; then
      echo "  truncated or broken: ${f#"$dir"/}"
      bad=1
    fi
  done
  return $bad
}

while (( $(date +%s) - start < duration )); do
  series=$((series + 1))
  dir=$work/series/$series
  mkdir -p "$dir"
  timeout -s KILL "$series_limit" "$ctl_bin" --ip 127.0.0.1 --tcp-port "$port" calibrate \
    --meters "$meters" --points 3,12,30 --cycles 1 --write --ge-file "$work/ge.txt" \
    --set-flow "$work/setflow" --dir "$dir" >"$dir/out.txt" 2>"$dir/err.txt" &
  ctl_pid=$!
  hwm=0
  while kill -0 "$ctl_pid" 2>/dev/null; do
    h=$(hwm_kb "$ctl_pid"); [ -n "$h" ] && (( h > hwm )) && hwm=$h
    sleep 0.5
  done
  set +e; wait "$ctl_pid"; rc=$?; set -e
  ctl_pid=""
  sim_rss+=("$(rss_kb "$sim_pid")")
  cycles=$((cycles + $(grep -c 'cycle' "$dir/err.txt" || true)))
  if ! kill -0 "$sim_pid" 2>/dev/null; then
    echo "soak: the simulator died during series $series"; tail -5 "$work/sim.log"; exit 1
  fi
  case $rc in
    0) ok=$((ok + 1))
       (( first_hwm == 0 )) && first_hwm=$hwm
       last_hwm=$hwm; (( hwm > max_hwm )) && max_hwm=$hwm ;;
    1|3) failed=$((failed + 1))   # 3: a write cut short, named with its backup
       why=$(grep -o 'incomplete characteristic\|result [0-9]*\|no results\|[a-z ]*failed' "$dir/err.txt" | head -1 || true)
       failures[${why:-other}]=$(( ${failures[${why:-other}]:-0} + 1 )) ;;
    137) hung=$((hung + 1)); echo "soak: series $series did not end within ${series_limit}s (killed)" ;;
    *) crashed=$((crashed + 1)); echo "soak: series $series ended with status $rc"; tail -3 "$dir/err.txt" ;;
  esac
  if ! check_files "$dir"; then
    broken=$((broken + 1))
  elif (( rc == 0 )); then
    files=$(cd "$dir" && ls Log/*.dat BACKUP/*.dat 2>/dev/null | sort | tr '\n' ' ')
    # From the second good series on the set of files is the same every time.
    if (( ok == 2 )); then ref_files=$files
    elif (( ok > 2 )) && [ "$files" != "$ref_files" ]; then
      echo "soak: series $series files differ: $files"; broken=$((broken + 1))
    fi
  fi
  (( rc == 0 || rc == 1 || rc == 3 )) && rm -rf "$dir"
  if (( series % 10 == 0 )); then
    echo "  $(( $(date +%s) - start ))s: $series series, $ok ok, $failed failed; vq7sim ${sim_rss[-1]} kB"
  fi
done

# Memory is flat when the last quarter of the samples is within 10 % + 2 MB of the
# first quarter after the first series.
n=${#sim_rss[@]}
q=$(( n / 4 > 0 ? n / 4 : 1 ))
early=$(printf '%s\n' "${sim_rss[@]:1:$q}" | sort -n | tail -1); early=${early:-${sim_rss[0]}}
late=$(printf '%s\n' "${sim_rss[@]: -$q}" | sort -n | tail -1)
grows() { (( $2 > $1 + $1 / 10 + 2048 )); }
echo
echo "soak: $(( $(date +%s) - start ))s, $series series: $ok ok, $failed failed with a result, $hung hung, $crashed crashed"
for k in "${!failures[@]}"; do echo "  failed: $k x${failures[$k]}"; done
echo "  measurement cycles reported: $cycles"
echo "  vq7sim RSS: ${sim_rss[0]} kB after the first series, $early kB early, $late kB at the end"
echo "  vq7ctl peak RSS per series: $first_hwm kB first, $last_hwm kB last, $max_hwm kB highest"
echo "  broken or missing files: $broken"
status=0
# Every line of the write journal reads back whole.
journal_lines=$(grep -vc '^время' "$work/journal.csv" 2>/dev/null || true)
journal_read=$("$ctl_bin" journal | tail -n +2 | wc -l) || { echo "soak: the journal does not read"; status=1; }
echo "  journal: ${journal_lines:-0} lines written, ${journal_read:-0} read back"
[ "${journal_lines:-0}" = "${journal_read:-0}" ] || status=1
(( hung == 0 && crashed == 0 )) || status=1
(( broken == 0 )) || status=1
(( ok > 0 )) || { echo "soak: no series succeeded"; status=1; }
if (( n >= 4 )) && grows "$early" "$late"; then echo "soak: vq7sim memory grows"; status=1; fi
if (( ok >= 3 )) && grows "$first_hwm" "$max_hwm"; then echo "soak: vq7ctl memory grows"; status=1; fi
echo "soak: $([ $status = 0 ] && echo passed || echo FAILED)"
exit $status
