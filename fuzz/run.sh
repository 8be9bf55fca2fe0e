#!/usr/bin/env bash
# Builds the fuzz targets with clang (address + undefined sanitizers), replays
# each corpus, then fuzzes each target for a bounded time.
#   FUZZ_SECONDS  time per target (default 30)
#   FUZZ_RUNS     executions per target instead, e.g. 10000000 for the long run
#                 (still ended after FUZZ_SECONDS when that is given)
#   FUZZ_TARGETS  the targets to run (default all fuzz/*_fuzz.cpp)
#   FUZZ_TIMEOUT  seconds one input may take (default 10; more for a run at low
#                 priority on a busy machine, where a starved process looks hung)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-30}
runs=${FUZZ_RUNS:-}
limit=(-max_total_time="$seconds")
if [ -n "$runs" ]; then
  limit=(-runs="$runs")
  [ -n "${FUZZ_SECONDS:-}" ] && limit+=(-max_total_time="$seconds")
fi
# ccache does not hash the coverage ignore list the compiler reads.
export CCACHE_EXTRAFILES=$PWD/fuzz/coverage-ignore.txt
# Line tables only and -O1 (asserts kept): a quicker build with readable reports.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
  -DVQ7_CORE_ONLY=ON -DVQ7_BENCH=OFF -DVQ7_FUZZ=ON -DVQ7_SANITIZE=address,undefined >/dev/null
targets=${FUZZ_TARGETS:-$(cd fuzz && ls *_fuzz.cpp 2>/dev/null | sed 's/\.cpp$//')}
[ -n "$targets" ] || exit 0
cmake --build build-fuzz -j"$(nproc)" --target $targets
mkdir -p build-fuzz/work
for t in $targets; do
  corpus=fuzz/corpus/${t%_fuzz}
  work=build-fuzz/work/$t
  mkdir -p "$corpus" "$work"
  echo "== $t: replay $(ls "$corpus" | wc -l) inputs"
  build-fuzz/fuzz/$t -runs=0 "$corpus"
  echo "== $t: fuzz ${limit[*]}"
  log=build-fuzz/work/$t.log
  started=$(date +%s)
  if ! build-fuzz/fuzz/$t "${limit[@]}" -timeout="${FUZZ_TIMEOUT:-10}" -print_final_stats=1 \
       -artifact_prefix=build-fuzz/work/$t- "$work" "$corpus" >"$log" 2>&1; then
    tail -40 "$log"
    echo "fuzz target $t failed"
    exit 1
  fi
  grep -E 'Done [0-9]+ runs|stat::number_of_executed_units|stat::peak_rss' "$log" || true
  echo "$t: $(sed -n 's/^stat::number_of_executed_units: *//p' "$log") executions in $(( $(date +%s) - started )) s"
done
