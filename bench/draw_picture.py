#!/usr/bin/python3
"""Draws the benchmark's picture: median time against output size, log-log, one panel a
platform, one line a program. Input: lines "<platform> <label> <bytes> <seconds>" (the
medians bench/run.sh took); output: an SVG that holds the same bytes for the same figures.

    draw_picture.py <medians file> <svg file> <title>
"""
import sys
from collections import defaultdict

import matplotlib

matplotlib.use("svg")
import matplotlib.pyplot as plt  # noqa: E402  (after the back end is chosen)
from matplotlib.ticker import FuncFormatter  # noqa: E402

PANELS = {"native": "Linux, native", "wine": "Windows build under wine"}
STYLES = {  # label: (line style, marker, colour), the same in every panel
    "cmdwrap": ("-", "o", "tab:blue"),
    "Python subprocess.run": ("--", "s", "tab:orange"),
    "reference, 2048-byte reads, 4096-byte growth": (":", "v", "tab:green"),
    "reference, 64 KiB reads, doubling growth": ("-.", "^", "tab:red"),
    "raw pipe: 64 KiB reads, discarded": (":", "x", "tab:purple"),
}


def size_text(size):
    for unit, name in ((1 << 30, "GiB"), (1 << 20, "MiB"), (1 << 10, "KiB")):
        if size >= unit:
            return f"{size // unit} {name}"
    return f"{size} B"


def main():
    medians_path, svg_path, title = sys.argv[1:4]
    series = defaultdict(lambda: defaultdict(list))
    with open(medians_path, encoding="utf-8") as medians:
        for line in medians:
            platform, rest = line.split(" ", 1)
            label, size, seconds = rest.rsplit(" ", 2)
            series[platform][label].append((int(size), float(seconds)))
    platforms = [p for p in PANELS if p in series]
    plt.rcParams["svg.hashsalt"] = "cmdwrap-bench"  # the same ids in every drawing
    figure, axes = plt.subplots(1, len(platforms), figsize=(6.5 * len(platforms), 5.2),
                                squeeze=False)
    for axis, platform in zip(axes[0], platforms):
        sizes = set()
        for label, (style, marker, colour) in STYLES.items():
            points = sorted(series[platform].get(label, []))
            if not points:
                continue
            sizes.update(size for size, _ in points)
            axis.plot([size for size, _ in points], [seconds * 1000 for _, seconds in points],
                      linestyle=style, marker=marker, color=colour, markersize=4, label=label,
                      linewidth=2.2 if label == "cmdwrap" else 1.2)
        axis.set_xscale("log", base=2)
        axis.set_yscale("log")
        axis.yaxis.set_major_formatter(FuncFormatter(lambda value, _: f"{value:g}"))
        ticks = sorted(sizes)
        axis.set_xticks(ticks, [size_text(size) for size in ticks], rotation=45)
        axis.minorticks_off()
        axis.set_xlabel("output of the child")
        axis.set_ylabel("median wall time of a whole run (ms)")
        axis.set_title(PANELS[platform])
        axis.grid(True, which="major", linewidth=0.4)
        axis.legend(fontsize="small", loc="upper left")
    figure.suptitle(title)
    figure.tight_layout()
    figure.savefig(svg_path, format="svg", metadata={"Date": None, "Creator": None})


if __name__ == "__main__":
    main()
