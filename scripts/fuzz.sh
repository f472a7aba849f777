#!/usr/bin/env bash
# Runs every fuzz harness of a fuzz build for a given time each:
#   scripts/fuzz.sh BUILD_DIR [SECONDS]
# FUZZ_JOBS harnesses run at a time (default 1), FUZZ_WORKERS processes fuzz
# each harness side by side, sharing its corpus (default 1), FUZZ_ONLY names
# the ones to run (space-separated, without the qirn_fuzz_ prefix), FUZZ_RUNS
# stops each process after that many executions if it comes before the time.
# Each harness reads its seeds from the repository and keeps what it finds in
# BUILD_DIR/corpus/NAME; a crash is saved in BUILD_DIR/artifacts/NAME, logs
# go to BUILD_DIR/logs/NAME. At the end one line per harness: executions (of
# all its processes), coverage (edges), features, and whether it crashed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: fuzz.sh BUILD_DIR [SECONDS]}" && pwd)
seconds=${2:-60}
jobs=${FUZZ_JOBS:-1}
workers=${FUZZ_WORKERS:-1}

run_one() {
  local exe=$1 seconds=$2 root=$3 build=$4 workers=$5
  local name=${exe##*/qirn_fuzz_}
  local dir=$root/fuzz/$name
  local logs=$build/logs/$name
  rm -rf "$logs"
  mkdir -p "$build/corpus/$name" "$build/artifacts/$name" "$logs"
  # Inputs stay short (the shared corpora hold files of hundreds of KB that
  # would slow every mutation tenfold), and no input may ask for much memory:
  # a reader that sizes a buffer from a count it has not checked fails here.
  local args=(-max_total_time="$seconds" -print_final_stats=1 -timeout=10
              -max_len="${FUZZ_MAX_LEN:-4096}" -rss_limit_mb=2048 -malloc_limit_mb=512
              -artifact_prefix="$build/artifacts/$name/")
  [ -n "${FUZZ_RUNS:-}" ] && args+=(-runs="$FUZZ_RUNS")
  [ -f "$dir/$name.dict" ] && args+=(-dict="$dir/$name.dict")
  local corpora=("$build/corpus/$name" "$dir/seeds")
  if [ -f "$dir/extra-seeds.txt" ]; then
    while IFS= read -r extra; do
      [ -n "$extra" ] && corpora+=("$root/$extra")
    done < "$dir/extra-seeds.txt"
  fi
  local status=ok
  if [ "$workers" -gt 1 ]; then
    # The engine's own workers write fuzz-<n>.log in the folder they start in.
    (cd "$logs" && "$exe" "${args[@]}" -jobs="$workers" -workers="$workers" "${corpora[@]}" \
      > parent.log 2>&1) || status=CRASHED
  else
    "$exe" "${args[@]}" "${corpora[@]}" > "$logs/fuzz-0.log" 2>&1 || status=CRASHED
  fi
  # A worker that stops on a fault leaves its input in the artifacts.
  grep -a -q 'Test unit written to .*/\(crash\|timeout\|oom\|leak\)-' "$logs"/fuzz-*.log && status=CRASHED
  local execs=0 cov=0 ft=0 log n
  for log in "$logs"/fuzz-*.log; do
    n=$(grep -a -o 'stat::number_of_executed_units: [0-9]*' "$log" | tail -1 | awk '{print $2}')
    execs=$((execs + ${n:-0}))
    n=$(grep -a -o 'cov: [0-9]*' "$log" | tail -1 | awk '{print $2}')
    [ "${n:-0}" -gt "$cov" ] && cov=$n
    n=$(grep -a -o 'ft: [0-9]*' "$log" | tail -1 | awk '{print $2}')
    [ "${n:-0}" -gt "$ft" ] && ft=$n
  done
  printf '%-28s %12s execs %8s edges %8s features  %s\n' "$name" "$execs" "$cov" "$ft" "$status"
}
export -f run_one

harnesses=()
for exe in "$build"/harnesses/qirn_fuzz_*; do
  [ -x "$exe" ] || continue
  name=${exe##*/qirn_fuzz_}
  if [ -n "${FUZZ_ONLY:-}" ] && [[ " $FUZZ_ONLY " != *" $name "* ]]; then
    continue
  fi
  harnesses+=("$exe")
done
[ ${#harnesses[@]} -gt 0 ] || { echo "fuzz.sh: no harness in $build/harnesses" >&2; exit 1; }

echo "fuzz.sh: ${#harnesses[@]} harnesses, ${seconds} s each, $jobs at a time, $workers processes each (logs in $build/logs)"
printf '%s\n' "${harnesses[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one "$@"' _ {} "$seconds" "$root" "$build" "$workers" \
  | tee "$build/summary.txt"
! grep -q CRASHED "$build/summary.txt"
