"""Capture files from Python: frames, arrays and coordinates against k740-convert's own output,
indexing, and the errors a user meets."""
import errno
import os
import shutil
import subprocess
import sys
import warnings

import numpy as np
import pytest

import k740
from conftest import REAL, assert_frame_equals_dump, convert, parse_dump


def check_against_dump(path, single_line=False):
    flags = ["--single-line"] if single_line else []
    want = parse_dump(convert("dump", path, *flags))
    cap = k740.open(path, single_line=single_line)
    info = convert("info", path, *flags)
    assert f"frames: {len(cap)}\n" in info and f"packets: {cap.packets}\n" in info
    assert len(cap) == len(want)
    for frame, w in zip(cap, want):
        assert_frame_equals_dump(frame, w)
    return cap


@pytest.mark.parametrize("path", REAL, ids=os.path.basename)
def test_real_captures_equal_dump(path):
    cap = check_against_dump(path)
    assert len(cap) > 0 and cap.error is None


def test_generated_captures_equal_dump(generated_capture, single_line_capture):
    path, frames, packets = generated_capture
    cap = check_against_dump(path)
    assert (len(cap), cap.packets) == (frames, packets)
    cap = check_against_dump(single_line_capture, single_line=True)
    assert len(cap) == 3 and cap.single_line


def test_packets_of_the_other_kind_are_counted_and_warned_of(generated_capture, single_line_capture):
    """A file opened in the wrong mode has no frames: the packets passed by say why."""
    with pytest.warns(UserWarning, match=r"single-line\.pcap: 11 single-line packets not read; "
                                         r"k740\.open\(\.\.\., single_line=True\) reads them"):
        cap = k740.open(single_line_capture)
    assert (len(cap), cap.packets, cap.other_kind_packets) == (0, 0, 11)
    assert "single-line packets not read: 11\n" in convert("info", single_line_capture)
    path = generated_capture[0]
    # A file of one kind: no warning, no line.
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        assert k740.open(path).other_kind_packets == 0
    assert "not read" not in convert("info", path)


def csv_rows(path, *flags, tmp):
    out = tmp / "out.csv"
    convert("csv", path, out, *flags)
    lines = out.read_text().splitlines()[1:]
    return [line.split(",") for line in lines]


@pytest.mark.parametrize("path,protocol,view_mode", [(REAL[-1], 0, 1), (REAL[-1], 1, 2), (REAL[0], 0, 2),
                                                     (REAL[0], 1, 1)], ids=["0-1", "1-2", "0-2", "1-1"])
def test_xyz_equals_csv_export(path, protocol, view_mode, tmp_path):
    rows = csv_rows(path, "--protocol", protocol, "--view-mode", view_mode, tmp=tmp_path)
    cap = k740.open(path, protocol=protocol, view_mode=view_mode)
    got = []
    for f in cap:
        assert f.xyz.shape == (len(f), 3) and f.xyz.dtype == np.float32
        assert (f.protocol, f.view_mode) == (protocol, view_mode)
        keep = (f.azimuth >= 0) & (f.azimuth <= 360)  # the export's default range
        # The CSV prints floats with the stream's default six significant digits; FreamID
        # counts frames from 1.
        for (x, y, z), i in zip(f.xyz[keep], f.intensity[keep]):
            got.append([str(f.index + 1), "%g" % x, "%g" % y, "%g" % z, str(i)])
    assert got == [r[:5] for r in rows]
    if view_mode == 1:
        assert all(float(v).is_integer() for f in cap for v in f.xyz[:50].ravel())


def test_xyz_of_generated_and_single_line_captures(generated_capture, single_line_capture, tmp_path):
    for path, flags in ((generated_capture[0], []), (single_line_capture, ["--single-line"])):
        rows = csv_rows(path, *flags, "--protocol", 1, "--view-mode", 2, tmp=tmp_path)
        cap = k740.open(path, single_line=bool(flags), protocol=1)
        xyz = np.concatenate([f.xyz[(f.azimuth >= 0) & (f.azimuth <= 360)] for f in cap])
        assert [["%g" % v for v in p] for p in xyz] == [r[1:4] for r in rows]


def test_indexing_and_iteration():
    cap = k740.open(REAL[-1])
    n = len(cap)
    assert n >= 3
    assert [f.index for f in cap] == list(range(n))
    assert cap[-1].index == n - 1 and cap[-n].index == 0
    np.testing.assert_array_equal(cap[-2].azimuth, cap[n - 2].azimuth)
    for bad in (n, -n - 1, 10**12, 2**63, -2**63 - 1, 10**30):
        with pytest.raises(IndexError, match=f"frame index {bad} is outside the capture's {n} frames"):
            cap[bad]
    # Slices give lists of frames, as for a list of n items.
    for sl in (slice(1, 3), slice(None, None, -2), slice(-10**30, 10**30)):
        assert [f.index for f in cap[sl]] == list(range(n))[sl], sl
    # Arrays outlive their frame and capture, and cannot be written to.
    az = cap[0].azimuth
    first = float(az[0])
    cap.close()
    assert float(az[0]) == first
    with pytest.raises(ValueError):
        az[0] = 1.0
    with pytest.raises(ValueError, match="closed"):
        len(cap)


def test_open_errors(tmp_path):
    # The system's refusals as the os module raises them: errno, strerror and the name given.
    missing = tmp_path / "missing.pcap"
    for given in (missing, str(missing), os.fsencode(missing), os.fsencode(tmp_path) + b"/missing\xff"):
        with pytest.raises(FileNotFoundError) as e:
            k740.open(given)
        assert (e.value.errno, e.value.strerror) == (errno.ENOENT, "No such file or directory")
        assert e.value.filename == os.fspath(given)
    with pytest.raises(NotADirectoryError):
        k740.open(os.path.join(REAL[0], "inside"))
    # A capture that is no capture, named as os.fsdecode() gives its name (not UTF-8 here).
    text = os.fsencode(tmp_path) + b"/notes\xfe.txt"
    with open(text, "wb") as f:
        f.write(b"not a capture\n" * 10)
    with pytest.raises(ValueError, match="notes\udcfe.txt: "):
        k740.open(text)
    with pytest.raises(ValueError, match="is a directory"):
        k740.open(tmp_path)
    with pytest.raises(ValueError, match="protocol takes 0"):
        k740.open(REAL[0], protocol=2)
    with pytest.raises(ValueError, match="view mode takes 1 or 2, not 0"):
        k740.open(REAL[0], view_mode=0)
    with pytest.raises(TypeError):
        k740.open(12)


def test_names_that_are_not_utf8_round_trip(tmp_path):
    """A name from os.listdir() with surrogate escapes, or the bytes themselves, open the file;
    the capture gives the name back as os.fsdecode() does."""
    raw = os.fsencode(tmp_path) + b"/cap\xff.pcap"
    shutil.copy(REAL[-1], raw)
    (listed,) = os.listdir(tmp_path)
    want = len(k740.open(REAL[-1]))
    for given in (os.path.join(tmp_path, listed), raw):
        cap = k740.open(given)
        assert len(cap) == want
        assert os.fsencode(cap.path) == raw and cap.path == os.fsdecode(raw)
        assert repr(cap) == f"<k740.Capture {os.fsdecode(raw)!r}: {want} frames>"


FOUR_THREADS = """
import sys, threading, k740
frames = list(k740.open(sys.argv[1]))[:4]   # decoded on the main thread
start = threading.Barrier(4)
threads = [threading.Thread(target=lambda f: (start.wait(), f.azimuth, f.xyz), args=(f,)) for f in frames]
[t.start() for t in threads], [t.join() for t in threads]
print(sum(len(f.azimuth) for f in frames))
"""


def test_four_threads_making_the_first_arrays_at_once_end():
    """In a fresh interpreter, NumPy not imported by the caller."""
    want = sum(len(f) for f in list(k740.open(REAL[-1]))[:4])
    for _ in range(3):
        run = subprocess.run([sys.executable, "-c", FOUR_THREADS, REAL[-1]], capture_output=True, text=True,
                             timeout=60)
        assert (run.returncode, int(run.stdout or -1)) == (0, want), run.stderr


def test_truncated_capture_keeps_the_frames_before_the_fault(tmp_path):
    whole = REAL[-1]
    cut = tmp_path / "cut.pcap"
    data = open(whole, "rb").read()
    cut.write_bytes(data[: len(data) * 2 // 3 + 5])
    cap = k740.open(cut)
    assert cap.error
    want = parse_dump(convert("dump", cut, check=False))
    assert 0 < len(cap) == len(want) < len(k740.open(whole))
    assert_frame_equals_dump(cap[-1], want[-1])


def test_file_changed_after_open_raises_oserror(tmp_path):
    path = tmp_path / "copy.pcap"
    shutil.copy(REAL[-1], path)
    cap = k740.open(path)
    data = path.read_bytes()
    path.write_bytes(data[: len(data) // 4])
    with pytest.raises(OSError):
        cap[len(cap) - 1]


def test_docstrings():
    for obj in (k740, k740.open, k740.listen, k740.decode_device_packet, k740.Capture, k740.Frame,
                k740.Listener, k740.Frame.xyz, k740.Frame.azimuth, k740.Capture.error):
        assert obj.__doc__ and len(obj.__doc__) > 20, obj
