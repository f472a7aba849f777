#!/usr/bin/env python3
"""Prints the median ratios of a benchmark run written with
--benchmark_out_format=json: each BM_<Case>_Ours beside each BM_<Case>_Peer
(or BM_<Case>_Peer<Name>) of the same arguments, as ours / peer of the median
real times, and of any counter both report (the peak memory of the allocator
benchmark, say). Below 1 means ours is faster, or smaller."""

import json
import re
import sys

NAME = re.compile(r"^(BM_[^/]*?)_(Ours|Peer\w*)(/.*)?$")

# What Google Benchmark writes for every run; any other number is a counter.
STANDARD = {"family_index", "per_family_instance_index", "repetitions", "repetition_index", "threads",
            "iterations", "real_time", "cpu_time", "items_per_second", "bytes_per_second"}


def medians(path):
    with open(path) as file:
        report = json.load(file)
    found = {}
    for run in report["benchmarks"]:
        single = run.get("run_type") == "iteration" and "repetitions" not in run
        if run.get("aggregate_name") == "median" or single:
            counters = {key: value for key, value in run.items()
                        if key not in STANDARD and isinstance(value, (int, float)) and not isinstance(value, bool)}
            found[run["run_name"]] = (run["real_time"], run["time_unit"], counters)
    return found


def shown(value):
    return f"{value:.0f}" if value >= 1000 else f"{value:.4g}"


def main(paths):
    for path in paths:
        times = medians(path)
        pairs = {}
        for name, figure in times.items():
            match = NAME.match(name)
            if match:
                case = match.group(1) + (match.group(3) or "")
                pairs.setdefault(case, {})[match.group(2)] = figure
        for case, sides in pairs.items():
            ours = sides.get("Ours")
            for side, peer in sorted(sides.items()):
                if side == "Ours" or ours is None:
                    continue
                if ours[1] != peer[1] or peer[0] == 0:
                    continue
                print(f"{case:<40} ours {shown(ours[0]):>10} {ours[1]:<2}  {side:<8} {shown(peer[0]):>10} {peer[1]:<2}"
                      f"  ratio {ours[0] / peer[0]:.2f}")
                for counter, value in sorted(ours[2].items()):
                    other = peer[2].get(counter)
                    if other:
                        print(f"{case + ' ' + counter:<40} ours {shown(value):>10}     {side:<8} {shown(other):>10}"
                              f"     ratio {value / other:.2f}")


if __name__ == "__main__":
    main(sys.argv[1:])
