#!/usr/bin/python3
"""Draws one frame of a capture file from above, coloured by intensity, into a PNG.

    PYTHONPATH=build/python examples/plot_frame.py tests/data/real/rotating-32ch-b.pcap docs/python-frame.png

usage: plot_frame.py CAPTURE OUT.png [FRAME] [--single-line]
"""
import sys

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import k740  # noqa: E402


def main(argv):
    args = [a for a in argv[1:] if a != "--single-line"]
    if len(args) not in (2, 3):
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    cap = k740.open(args[0], single_line="--single-line" in argv)
    if len(cap) == 0:
        print(f"plot_frame.py: {args[0]}: no frames", file=sys.stderr)
        return 1
    f = cap[int(args[2]) if len(args) == 3 else 0]

    xyz = f.xyz / 100.0  # cm -> m
    near = np.hypot(xyz[:, 0], xyz[:, 1]) > 0  # points without an echo lie at the origin
    fig, ax = plt.subplots(figsize=(8, 8), dpi=100)
    fig.patch.set_facecolor("black")
    ax.set_facecolor("black")
    # Most echoes are faint: the colour scale ends at the 98th percentile of the intensities.
    top = max(1.0, float(np.percentile(f.intensity[near], 98))) if near.any() else 255.0
    dots = ax.scatter(xyz[near, 0], xyz[near, 1], c=f.intensity[near], s=0.8, cmap="turbo",
                      vmin=0, vmax=top, linewidths=0)
    ax.plot([0], [0], marker="+", color="white", markersize=12)
    ax.set_aspect("equal")
    limit = np.percentile(np.abs(xyz[near, :2]), 99) * 1.05 if near.any() else 1.0
    ax.set_xlim(-limit, limit)
    ax.set_ylim(-limit, limit)
    ax.set_xlabel("x (m)", color="white")
    ax.set_ylabel("y (m)", color="white")
    ax.tick_params(colors="white")
    for side in ax.spines.values():
        side.set_color("gray")
    ax.grid(color="#333333", linewidth=0.5)
    ax.set_title(f"{args[0].split('/')[-1]}, frame {f.index} of {len(cap)}: {len(f)} points, from above",
                 color="white")
    bar = fig.colorbar(dots, ax=ax, fraction=0.046, pad=0.04)
    bar.set_label("intensity", color="white")
    bar.ax.yaxis.set_tick_params(color="white", labelcolor="white")
    fig.tight_layout()
    fig.savefig(args[1], facecolor=fig.get_facecolor())
    print(f"{args[1]}: frame {f.index}, {int(near.sum())} of {len(f)} points drawn")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
