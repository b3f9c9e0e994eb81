"""The K740-P sensor's data from Python (the text of the extension below, k740._k740)."""
import enum as _enum


class Protocol(_enum.IntEnum):
    """The packet protocol: points a block carries and the distance divisor for coordinates."""

    V1_6 = 0  # two points a block; millimetres = count / 0.5
    V1_7 = 1  # thirty points a block; millimetres = count / 0.25


class ReturnMode(_enum.IntEnum):
    """Which echoes of a data packet make the live frames."""

    StrongEcho = 0  # every block
    DualEcho = 1  # first echo (even blocks) followed by second echo (odd blocks)
    DualEchoFirst = 2  # even blocks only
    DualEchoSecond = 3  # odd blocks only


class ViewMode(_enum.IntEnum):
    """How coordinates are given ("View Mode 1" and "View Mode 2" of the viewer)."""

    WholeCentimetres = 1  # truncated toward zero to whole centimetres
    Exact = 2  # unrounded


# The extension returns the enumerations above: they exist before it is loaded.
from . import _k740  # noqa: E402
from ._k740 import (  # noqa: E402
    Capture,
    CaptureIterator,
    Frame,
    Listener,
    __version__,
    decode_device_packet,
    listen,
    open,
)

__doc__ = _k740.__doc__
for _type in (Capture, CaptureIterator, Frame, Listener):
    _type.__module__ = __name__
del _type

__all__ = [
    "Capture",
    "CaptureIterator",
    "Frame",
    "Listener",
    "Protocol",
    "ReturnMode",
    "ViewMode",
    "__version__",
    "decode_device_packet",
    "listen",
    "open",
]
