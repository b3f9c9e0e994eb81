#!/usr/bin/python3
"""Reads every frame of a capture into arrays through the Python module and touches its
coordinates; prints the frame and point counts. Timed by bench/run_python_bench.sh.

usage: read_all_frames.py CAPTURE [--no-xyz]
  --no-xyz  touch the decoded arrays (azimuth, distance) only, not the coordinates
"""
import sys

import k740

cap = k740.open(sys.argv[1])
points = 0
xyz = "--no-xyz" not in sys.argv[2:]
for frame in cap:
    points += frame.xyz.shape[0] if xyz else frame.azimuth.shape[0] + 0 * frame.distance.shape[0]
print(f"frames: {len(cap)}\npoints: {points}")
