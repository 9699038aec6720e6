#!/usr/bin/python3
"""Plots the reply times that capture_latency --samples wrote, one panel a setting.

Each panel is the distribution of the setting's reply times (a histogram per samples file,
overlaid) with each file's overlapped floor (one frame period plus the longer of the save and
the pause) as a solid line in its colour, the median goal's band (+0.5 ms) shaded beside it
and the p95 goal (+1.5 ms) dashed.

    bench/plot_latency.py disk.csv tmpfs.csv -o latency.png

Needs Debian's python3-matplotlib.
"""
import argparse
import csv
import os
import sys
from collections import OrderedDict

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402 (after the back end is chosen)

MEDIAN_BOUND_MS = 0.5
P95_BOUND_MS = 1.5


def read_samples(path):
    """{setting: (overlapped floor, [reply ms])} in the file's order."""
    settings = OrderedDict()
    with open(path, newline="") as samples:
        for row in csv.DictReader(samples):
            entry = settings.setdefault(row["setting"], (float(row["overlapped_floor_ms"]), []))
            entry[1].append(float(row["reply_ms"]))
    return settings


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("samples", nargs="+", help="CSV files of capture_latency --samples")
    parser.add_argument("-o", "--output", default="latency.png", help="PNG to write")
    options = parser.parse_args()
    runs = [(os.path.splitext(os.path.basename(path))[0], read_samples(path))
            for path in options.samples]
    settings = list(OrderedDict((name, None) for _, run in runs for name in run))
    if not settings:
        sys.exit("plot_latency: no samples in " + ", ".join(options.samples))
    figure, axes = plt.subplots(len(settings), 1, figsize=(9, 2.6 * len(settings)), squeeze=False)
    for axis, setting in zip(axes[:, 0], settings):
        for label, run in runs:
            if setting not in run:
                continue
            floor, replies = run[setting]
            _, _, bars = axis.hist(replies, bins=60, alpha=0.55, label=label)
            # Each run's own floor, in its colour: the save term is measured in the same run.
            colour = bars[0].get_facecolor()[:3]
            axis.axvline(floor, color=colour, linewidth=2, label="%s: overlapped floor" % label)
            axis.axvspan(floor, floor + MEDIAN_BOUND_MS, color=colour, alpha=0.2)
            axis.axvline(floor + P95_BOUND_MS, color=colour, linestyle="--", linewidth=1)
        axis.set_title(setting, fontsize=10)
        axis.set_xlabel("reply time (ms)")
        axis.set_ylabel("captures")
        axis.legend(fontsize=7, loc="upper right")
    figure.tight_layout()
    figure.savefig(options.output, dpi=100)
    print("plot_latency: wrote " + options.output)


if __name__ == "__main__":
    main()
