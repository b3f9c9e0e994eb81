#!/usr/bin/python3
"""Reads every frame of a capture into arrays through the Python module and touches its
coordinates; prints the frame and point counts. Timed by bench/run_python_bench.sh.

usage: read_all_frames.py CAPTURE
"""
import sys

import k740

cap = k740.open(sys.argv[1])
points = 0
for frame in cap:
    points += frame.xyz.shape[0]
print(f"frames: {len(cap)}\npoints: {points}")
