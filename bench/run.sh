#!/usr/bin/env bash
# Runs every benchmark program of a bench build with 5 repetitions and prints
# the median ratios. The block allocator's peer is whatever malloc the
# process has, so that program runs once with glibc's and once under each
# peer allocator loaded with LD_PRELOAD.
set -euo pipefail
build=${1:-build/bench}

run() {
  local program=$1 label=$2 out
  out=$build/$(basename "$program")${label:+-$label}.json
  echo "== $(basename "$program")${label:+ (malloc: $label)}"
  "$program" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$out" --benchmark_out_format=json
  python3 bench/ratios.py "$out"
}

preload() {
  # awk reads the whole list: stopping early would end ldconfig on a broken
  # pipe, which pipefail takes for a failure.
  ldconfig -p | awk -v lib="$1" '$1 == lib && !found { print $NF; found = 1 }'
}

for program in "$build"/bench/qirn_bench_*; do
  run "$program" ""
  if [ "$(basename "$program")" = qirn_bench_pools ]; then
    for peer in jemalloc:libjemalloc.so.2 tcmalloc:libtcmalloc_minimal.so.4; do
      lib=$(preload "${peer#*:}")
      if [ -z "$lib" ]; then
        echo "== qirn_bench_pools: ${peer#*:} not installed, skipped"
        continue
      fi
      LD_PRELOAD=$lib run "$program" "${peer%%:*}"
    done
  fi
done
