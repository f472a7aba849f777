#!/usr/bin/env python3
"""Prints the median ratios of a benchmark run written with
--benchmark_out_format=json: each BM_<Case>_Ours beside each BM_<Case>_Peer
(or BM_<Case>_Peer<Name>) of the same arguments, as ours / peer of the median
real times. Below 1 means ours is faster."""

import json
import re
import sys

NAME = re.compile(r"^(BM_[^/]*?)_(Ours|Peer\w*)(/.*)?$")


def medians(path):
    with open(path) as file:
        report = json.load(file)
    found = {}
    for run in report["benchmarks"]:
        single = run.get("run_type") == "iteration" and "repetitions" not in run
        if run.get("aggregate_name") == "median" or single:
            found[run["run_name"]] = (run["real_time"], run["time_unit"])
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


if __name__ == "__main__":
    main(sys.argv[1:])
