"""Shared helpers of the Python module's tests: the programs and data CTest hands in, the
output of k740-convert parsed into arrays, free loopback ports and small capture writers."""
import os
import socket
import struct
import subprocess

import numpy as np
import pytest

DATA = os.environ.get("K740_TESTDATA", os.path.join(os.path.dirname(__file__), "..", "data"))
CONVERT = os.environ.get("K740_CONVERT", "k740-convert")
SIM = os.environ.get("K740_SIM", "k740-sim")
MAKE_CAPTURE = os.environ.get("K740_MAKE_CAPTURE", "bench_make_capture")
REAL = sorted(os.path.join(DATA, "real", n) for n in os.listdir(os.path.join(DATA, "real")) if n.endswith(".pcap"))


def convert(*args, check=True):
    """Runs k740-convert; returns its standard output."""
    run = subprocess.run([CONVERT, *map(str, args)], capture_output=True, text=True, timeout=120)
    if check and run.returncode != 0:
        raise AssertionError(f"k740-convert {' '.join(map(str, args))}: {run.returncode}\n{run.stderr}")
    return run.stdout


def parse_dump(text):
    """k740-convert dump output as a list of dicts (index, blocks, azimuth, distance, ...)."""
    frames = []
    points = []

    def close():
        if frames:
            rows = [line.split() for line in points]
            f = frames[-1]
            f["azimuth"] = np.array([float(r[1]) for r in rows], dtype=np.float64)
            f["distance"] = np.array([float(r[2]) for r in rows], dtype=np.float64)
            f["intensity"] = np.array([int(r[3]) for r in rows], dtype=np.int64)
            f["time"] = np.array([int(r[4]) for r in rows], dtype=np.uint64)
            assert len(rows) == f["points"]
            points.clear()

    for line in text.splitlines():
        if line.startswith("F "):
            close()
            _, index, blocks, n = line.split()
            frames.append({"index": int(index), "blocks": int(blocks), "points": int(n)})
        elif line.startswith("P "):
            points.append(line)
    close()
    return frames


def assert_frame_equals_dump(frame, want):
    assert frame.index == want["index"]
    assert len(frame.block_azimuth) == want["blocks"]
    assert len(frame) == want["points"]
    assert frame.azimuth.dtype == np.float64 and frame.distance.dtype == np.float64
    assert frame.intensity.dtype == np.uint8 and frame.time.dtype == np.uint64
    np.testing.assert_array_equal(frame.azimuth, want["azimuth"])
    np.testing.assert_array_equal(frame.distance, want["distance"])
    np.testing.assert_array_equal(frame.intensity.astype(np.int64), want["intensity"])
    np.testing.assert_array_equal(frame.time, want["time"])


def free_udp_port():
    """A UDP port free on every address right now."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("", 0))
        return s.getsockname()[1]


def pcap_bytes(payloads):
    """A classic little-endian microsecond pcap whose records carry the payloads behind a
    42-byte Ethernet/IPv4/UDP header (the reader examines only lengths and leading bytes)."""
    out = bytearray(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 1))
    for i, p in enumerate(payloads):
        record = bytes(42) + p
        out += struct.pack("<IIII", 1700000000 + i // 1000, (i % 1000) * 1000, len(record), len(record))
        out += record
    return bytes(out)


def single_line_packet(start_tenthousandths, seed):
    """A 778-byte single-line packet: A2 5C, the start azimuth (BE32, 1/10000 degree) at 20,
    250 distance/intensity records from 28."""
    rng = np.random.default_rng(seed)
    p = bytearray(778)
    p[0], p[1] = 0xA2, 0x5C
    p[20:24] = struct.pack(">I", start_tenthousandths)
    p[28:28 + 750] = rng.integers(0, 256, 750, dtype=np.uint8).tobytes()
    return bytes(p)


@pytest.fixture(scope="session")
def generated_capture(tmp_path_factory):
    """A 1 MB capture from the benchmark's generator (data packets among other traffic) and the
    counts the generator printed."""
    path = tmp_path_factory.mktemp("gen") / "generated.pcap"
    out = subprocess.run([MAKE_CAPTURE, str(path), "1"], capture_output=True, text=True, check=True).stdout
    counts = dict(line.split(": ", 1) for line in out.splitlines())
    return path, int(counts["frames"]), int(counts["packets"])


@pytest.fixture(scope="session")
def single_line_capture(tmp_path_factory):
    """Eleven single-line packets: frames end with the packets starting at 270 degrees."""
    starts = [0, 900000, 1800000, 2700000, 0, 900000, 1800000, 2700000, 0, 900000, 2700000]
    path = tmp_path_factory.mktemp("single") / "single-line.pcap"
    path.write_bytes(pcap_bytes([single_line_packet(s, i) for i, s in enumerate(starts)]))
    return path
