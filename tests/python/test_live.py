"""The live stream from Python: frames from k740-sim over loopback against the live assembly of
k740-convert, the ends of the iteration, the GIL while waiting, the errors; and the device
information packet against k740-convert status."""
import logging
import os
import signal
import socket
import struct
import subprocess
import threading
import time

import numpy as np
import pytest

import k740
from conftest import REAL, SIM, assert_frame_equals_dump, convert, free_udp_port, parse_dump

# The simulated sensor sends from 127.0.0.2 to 127.0.0.1, on loopback only.
SIM_ARGS = ["--host", "127.0.0.1", "--source", "127.0.0.2", "--no-config"]


def start_sim(port, *args):
    return subprocess.Popen([SIM, *SIM_ARGS, "--data-port", str(port), *map(str, args)],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def stop(process):
    process.terminate()
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


@pytest.mark.parametrize("protocol", [0, 1])
def test_replayed_capture_gives_the_live_assembly_frames(protocol):
    """The frames of a replayed capture, with the protocol requested pending until the first
    boundary, are those `k740-convert dump --live` assembles from the same file."""
    path = REAL[-1]
    want = parse_dump(convert("dump", path, "--live", "--protocol", protocol))
    with k740.listen(port=0, protocol=protocol, timeout=3.0) as live:
        assert live.port > 0
        sim = start_sim(live.port, "--no-device-info", "--replay", path, "--duration", 10)
        try:
            got = list(live)
        finally:
            stop(sim)
    assert len(got) == len(want) > 2
    for frame, w in zip(got, want):
        assert_frame_equals_dump(frame, w)
        assert frame.xyz.shape == (len(frame), 3)


def test_frames_limit_and_device_packets_on_the_data_port():
    port = free_udp_port()
    sim = start_sim(port, "--protocol", 1, "--device-port", port)  # device packets arrive here too
    try:
        live = k740.listen(port=port, protocol=1, frames=3, timeout=5.0)
        frames = list(live)
    finally:
        stop(sim)
    assert [f.index for f in frames] == [0, 1, 2]
    # The loop has ended and the port is closed; the counts stay as they stood.
    assert live.port == 0
    assert live.datagrams >= sum(len(f.block_azimuth) for f in frames) // 12 and live.frames_dropped == 0
    # The protocol asked for applies from the first boundary: 2 points a block before it, 30
    # after (give or take the points carried over to the next frame).
    assert 0 < len(frames[0]) <= 3 * len(frames[0].block_azimuth)
    assert 28 * len(frames[2].block_azimuth) <= len(frames[2]) <= 32 * len(frames[2].block_azimuth)


def counting_while(wait):
    """Counts in a second thread while wait() runs; returns (counts per second, seconds)."""
    counter = [0]
    done = threading.Event()

    def count():
        while not done.is_set():
            counter[0] += 1

    worker = threading.Thread(target=count)
    worker.start()
    start = time.monotonic()
    try:
        wait()
    finally:
        seconds = time.monotonic() - start
        done.set()
        worker.join()
    return counter[0] / seconds, seconds


def test_timeout_ends_an_idle_stream_and_other_threads_run_meanwhile():
    live = k740.listen(port=0, timeout=1.0)
    frames = []
    rate, waited = counting_while(lambda: frames.extend(live))
    assert frames == [] and 0.9 <= waited < 5.0
    assert live.port == 0  # closed at the end
    # The other thread counts about as fast as beside a sleep; with the GIL held while
    # waiting it would get a few per cent of that.
    baseline, _ = counting_while(lambda: time.sleep(0.5))
    assert rate > 0.4 * baseline


def test_listen_writes_nothing_to_stderr(capfd, caplog):
    """The receive buffer granted goes to logging and an attribute, not to the caller's stderr."""
    with caplog.at_level(logging.INFO, logger="k740"):
        with k740.listen(port=0, timeout=0.1) as live:
            granted = live.receive_buffer
            port = live.port
            assert list(live) == []
    assert capfd.readouterr().err == ""
    assert granted > 0 and live.receive_buffer == 0
    assert [r.getMessage() for r in caplog.records if r.name == "k740"] == [
        f"port {port}: receive buffer of {granted} bytes granted"]


def test_ctrl_c_interrupts_the_wait():
    live = k740.listen(port=0)
    timer = threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT))
    start = time.monotonic()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        next(live)
    assert time.monotonic() - start < 3.0
    assert live.port == 0
    with pytest.raises(StopIteration):
        next(live)


def test_close_from_another_thread_ends_the_wait():
    live = k740.listen(port=0)
    timer = threading.Timer(0.3, live.close)
    start = time.monotonic()
    timer.start()
    assert list(live) == []
    assert time.monotonic() - start < 3.0 and live.port == 0


def test_listen_errors():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as held:
        held.bind(("", 0))
        port = held.getsockname()[1]
        with pytest.raises(OSError, match=f"^Port {port} is in use$"):
            k740.listen(port=port)
    # Joining on an address no interface has fails before anything is sent.
    with pytest.raises(OSError, match=r"^Cannot join multicast group 239\.255\.7\.7 on 192\.0\.2\.1: "):
        k740.listen(port=0, group="239.255.7.7", interface="192.0.2.1")
    for kwargs, words in (({"port": 70000}, "port takes 0..65535"), ({"protocol": 2}, "protocol takes"),
                          ({"return_mode": 4}, "return mode takes"), ({"group": "10.0.0.1"}, "multicast address"),
                          ({"interface": "127.0.0.1"}, "give the group too"), ({"frames": -1}, "frames takes"),
                          ({"timeout": -1.0}, "timeout takes")):
        with pytest.raises(ValueError, match=words):
            k740.listen(**{"port": 0, **kwargs})


def status_lines(packet):
    """What `k740-convert status` prints for the packet, sent to it over loopback."""
    port = free_udp_port()
    status = subprocess.Popen([os.environ.get("K740_CONVERT", "k740-convert"), "status", "--port", str(port),
                               "--timeout", "10"], stdout=subprocess.PIPE, text=True)
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        while status.poll() is None:
            s.sendto(packet, ("127.0.0.1", port))
            time.sleep(0.05)
    out = status.stdout.read()
    assert status.returncode == 0
    return dict(line.split(": ", 1) for line in out.splitlines())


def sim_device_packet():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        s.settimeout(10)
        sim = start_sim(free_udp_port(), "--device-port", s.getsockname()[1])
        try:
            return s.recv(2048)
        finally:
            stop(sim)


def test_device_packet_equals_status():
    header = bytes([0xA5, 0xFF, 0x00, 0x5A, 0x11, 0x11, 0x55, 0x55])
    rng = np.random.default_rng(7)
    noisy = header + rng.integers(0, 256, 1198, dtype=np.uint8).tobytes()
    earlier = bytearray(noisy)
    earlier[1202] = 3  # the earlier generation's network block
    for packet in (sim_device_packet(), noisy, bytes(earlier)):
        got = k740.decode_device_packet(packet)
        assert got == status_lines(packet)
        assert all(isinstance(v, str) for v in got.values())
    assert k740.decode_device_packet(bytearray(noisy)) == k740.decode_device_packet(noisy)
    assert k740.decode_device_packet(bytes(earlier))["generation"] == "earlier"
    assert "subnet-mask" not in k740.decode_device_packet(bytes(earlier))


def test_device_packet_errors():
    with pytest.raises(ValueError, match="1206 bytes, not 1205"):
        k740.decode_device_packet(bytes(1205))
    with pytest.raises(ValueError, match="does not begin A5 FF 00 5A"):
        k740.decode_device_packet(bytes(1206))
    with pytest.raises(TypeError):
        k740.decode_device_packet("text")
    with pytest.raises(ValueError, match="as bytes"):
        k740.decode_device_packet(np.zeros(1206, dtype=np.int32))
    with pytest.raises(ValueError, match="as bytes"):
        k740.decode_device_packet(memoryview(bytes(2412))[::2])
