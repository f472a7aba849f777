#!/usr/bin/env bash
# Runs every fuzz harness of a fuzz build for a given time each:
#   scripts/fuzz.sh BUILD_DIR [SECONDS]
# FUZZ_JOBS harnesses run at a time (default 1), FUZZ_ONLY names the ones to
# run (space-separated, without the qirn_fuzz_ prefix), FUZZ_RUNS stops each
# after that many executions if it comes before the time. Each harness reads its
# seeds from the repository and keeps what it finds in BUILD_DIR/corpus/NAME;
# a crash is saved in BUILD_DIR/artifacts/NAME. At the end one line per
# harness: executions, coverage (edges), features, and whether it crashed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: fuzz.sh BUILD_DIR [SECONDS]}" && pwd)
seconds=${2:-60}
jobs=${FUZZ_JOBS:-1}

run_one() {
  local exe=$1 seconds=$2 root=$3 build=$4
  local name=${exe##*/qirn_fuzz_}
  local dir=$root/fuzz/$name
  mkdir -p "$build/corpus/$name" "$build/artifacts/$name" "$build/logs"
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
  "$exe" "${args[@]}" "${corpora[@]}" > "$build/logs/$name.log" 2>&1 || status=CRASHED
  local execs cov ft
  execs=$(grep -a -o 'stat::number_of_executed_units: [0-9]*' "$build/logs/$name.log" | tail -1 | awk '{print $2}')
  cov=$(grep -a -o 'cov: [0-9]*' "$build/logs/$name.log" | tail -1 | awk '{print $2}')
  ft=$(grep -a -o 'ft: [0-9]*' "$build/logs/$name.log" | tail -1 | awk '{print $2}')
  printf '%-28s %12s execs %8s edges %8s features  %s\n' "$name" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$status"
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

echo "fuzz.sh: ${#harnesses[@]} harnesses, ${seconds} s each, $jobs at a time (logs in $build/logs)"
printf '%s\n' "${harnesses[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one "$@"' _ {} "$seconds" "$root" "$build" \
  | tee "$build/summary.txt"
! grep -q CRASHED "$build/summary.txt"
