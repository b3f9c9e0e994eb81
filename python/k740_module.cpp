// The extension k740._k740 beneath the Python package k740: capture files and the live stream
// as frames of NumPy arrays, and the device information packet as a dict. Built on the
// consumer header alone; the arrays are filled (or shared) in C++, never a Python object per
// point. The package (k740/__init__.py) holds the enumerations and re-exports all of this.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "k740/k740.h"

namespace py = pybind11;

namespace {

// ---- enumerations ----

// k740.Protocol, k740.ReturnMode or k740.ViewMode (enum.IntEnum classes of the package) for a
// value: what the module returns where the C++ interface returns its enumerations.
template <class E>
py::object asEnum(const char* name, E value) {
    return py::module_::import("k740").attr(name)(static_cast<int>(value));
}
py::object asProtocol(k740::Protocol p) { return asEnum("Protocol", p); }
py::object asViewMode(k740::ViewMode v) { return asEnum("ViewMode", v); }

// ---- frames ----

// A frame and the arrays made of it so far (each made once, on first use).
struct PyFrame {
    k740::Frame frame;
    py::object xyz;
    py::object intensity;
};

// A read-only array over one of the frame's vectors, keeping the frame's data alive.
template <class T>
py::array shared(const std::shared_ptr<PyFrame>& owner, const std::vector<T>& v) {
    py::capsule keep(new std::shared_ptr<PyFrame>(owner),
                     [](void* p) { delete static_cast<std::shared_ptr<PyFrame>*>(p); });
    py::array_t<T> a({static_cast<py::ssize_t>(v.size())}, {static_cast<py::ssize_t>(sizeof(T))}, v.data(), keep);
    py::detail::array_proxy(a.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return std::move(a);
}

py::array readOnly(py::array a) {
    py::detail::array_proxy(a.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return a;
}

py::object frameXyz(const std::shared_ptr<PyFrame>& f) {
    if (!f->xyz) {
        const std::size_t n = f->frame.size();
        py::array_t<float> a({static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(3)});
        float* out = a.mutable_data();
        {
            py::gil_scoped_release release;
            f->frame.xyz(out);
        }
        f->xyz = readOnly(std::move(a));
    }
    return f->xyz;
}

py::object frameIntensity(const std::shared_ptr<PyFrame>& f) {
    if (!f->intensity) {
        const std::vector<int>& v = f->frame.intensity();
        py::array_t<std::uint8_t> a(static_cast<py::ssize_t>(v.size()));
        std::uint8_t* out = a.mutable_data();
        for (std::size_t i = 0; i < v.size(); ++i) out[i] = static_cast<std::uint8_t>(v[i]);
        f->intensity = readOnly(std::move(a));
    }
    return f->intensity;
}

std::shared_ptr<PyFrame> wrap(k740::Frame f) {
    auto p = std::make_shared<PyFrame>();
    p->frame = std::move(f);
    return p;
}

// ---- captures ----

struct PyCapture {
    // Shared with frame reads in progress (the GIL released), so that close() on another
    // thread never pulls the file from under them: the last holder closes it.
    std::shared_ptr<k740::Capture> capture;
    py::object path;  // the file's name as os.fsdecode() gives it

    k740::Capture& open() {
        if (!capture) throw py::value_error("the capture is closed");
        return *capture;
    }
};

struct PyCaptureIterator {
    std::shared_ptr<PyCapture> capture;
    std::size_t next = 0;
};

// A file's name as the system takes it: str (surrogate escapes included), bytes or any
// path-like object, through os.fsencode() as the os module does.
std::string pathBytes(const py::object& path) {
    return py::module_::import("os").attr("fsencode")(path).cast<std::string>();
}

// Issues a UserWarning through Python's warnings, pointing at the caller's line (raised
// instead when warnings are errors).
void warn(const py::str& text) {
    py::module_::import("warnings").attr("warn")(text, py::handle(PyExc_UserWarning), 1);
}

std::shared_ptr<PyCapture> openCapture(const py::object& path, bool singleLine, int protocol, int viewMode) {
    k740::CaptureOptions options;
    options.singleLine = singleLine;
    options.protocol = static_cast<k740::Protocol>(protocol);  // checked by the capture
    options.viewMode = static_cast<k740::ViewMode>(viewMode);
    const py::object os = py::module_::import("os");
    const py::object given = os.attr("fspath")(path);  // TypeError for anything else
    const std::string p = pathBytes(given);
    auto c = std::make_shared<PyCapture>();
    c->path = os.attr("fsdecode")(given);
    try {
        py::gil_scoped_release release;  // a large file takes a while to catalogue
        c->capture = std::make_shared<k740::Capture>(p, options);
    } catch (const k740::Error& e) {
        if (e.systemError() == 0) throw;
        // OSError(errno, strerror, filename) becomes FileNotFoundError, PermissionError, ...
        // with the name as it was given, as the os module raises them.
        PyErr_SetObject(PyExc_OSError,
                        py::make_tuple(e.systemError(), std::strerror(e.systemError()), given).ptr());
        throw py::error_already_set();
    }
    if (const std::uint64_t other = c->capture->otherKindPackets()) {
        warn(py::str("{}: {} {} packets not read; k740.open(..., single_line={}) reads them")
                 .format(c->path, other, singleLine ? "data" : "single-line", singleLine ? "False" : "True"));
    }
    return c;
}

// Frame i, decoded with the GIL released: other threads decode theirs meanwhile.
std::shared_ptr<PyFrame> captureFrame(PyCapture& c, std::size_t i) {
    c.open();
    std::shared_ptr<k740::Capture> cap = c.capture;
    k740::Frame f;
    {
        py::gil_scoped_release release;
        f = cap->frame(i);
        cap.reset();  // may be the last holder (closed meanwhile): closes the file without the GIL
    }
    return wrap(std::move(f));
}

// capture[i] (any integer, negative from the end) or capture[start:stop:step] (a list).
py::object captureItem(PyCapture& c, const py::object& key) {
    const auto n = static_cast<py::ssize_t>(c.open().size());
    if (py::isinstance<py::slice>(key)) {
        py::ssize_t start = 0, stop = 0, step = 0, count = 0;
        if (!py::reinterpret_borrow<py::slice>(key).compute(n, &start, &stop, &step, &count))
            throw py::error_already_set();
        py::list frames(count);
        for (py::ssize_t k = 0; k < count; ++k)
            frames[static_cast<std::size_t>(k)] = captureFrame(c, static_cast<std::size_t>(start + k * step));
        return std::move(frames);
    }
    // Any integer (operator.index): one beyond the machine's range is outside too.
    const py::int_ index = py::reinterpret_steal<py::int_>(PyNumber_Index(key.ptr()));
    if (!index) throw py::error_already_set();
    py::ssize_t at = PyNumber_AsSsize_t(index.ptr(), nullptr);  // clipped to the machine's range
    if (at < 0) at += n;
    if (at < 0 || at >= n)
        throw py::index_error(
            py::str("frame index {} is outside the capture's {} frames").format(index, n).cast<std::string>());
    return py::cast(captureFrame(c, static_cast<std::size_t>(at)));
}

// ---- live stream ----

struct PyListener {
    // Shared with a next() waiting on another thread, so that close() never pulls the
    // receiver from under it: the last holder ends it.
    std::shared_ptr<k740::Listener> listener;
    std::optional<long long> framesLeft;
    std::optional<double> timeout;
    // The counts as they stood at close(), read after it.
    long long datagrams = 0;
    long long framesDropped = 0;

    long long datagramsNow() const { return listener ? listener->datagrams() : datagrams; }
    long long framesDroppedNow() const { return listener ? listener->framesDropped() : framesDropped; }

    void close() {
        std::shared_ptr<k740::Listener> l = std::move(listener);
        if (!l) return;
        l->stop();  // wakes a next() waiting on another thread
        datagrams = l->datagrams();
        framesDropped = l->framesDropped();
        py::gil_scoped_release release;  // the receiver thread ends within its wait
        l.reset();
    }

    std::shared_ptr<PyFrame> next() {
        if (!listener || (framesLeft && *framesLeft <= 0)) {
            close();
            throw py::stop_iteration();
        }
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        for (;;) {
            double slice = 0.1;  // Ctrl+C is looked at between slices
            if (timeout) {
                const double left = *timeout - std::chrono::duration<double>(Clock::now() - start).count();
                if (left <= 0) break;
                slice = std::min(slice, left);
            }
            std::optional<k740::Frame> f;
            std::shared_ptr<k740::Listener> l = listener;
            if (!l) break;  // closed on another thread
            {
                py::gil_scoped_release release;
                f = l->next(slice);
                l.reset();  // may be the last holder: ends the receiver without the GIL
            }
            if (f) {
                if (framesLeft) --*framesLeft;
                return wrap(std::move(*f));
            }
            if (PyErr_CheckSignals() != 0) {
                close();
                throw py::error_already_set();
            }
        }
        close();
        throw py::stop_iteration();
    }
};

std::shared_ptr<PyListener> listen(long port, const std::optional<std::string>& group,
                                   const std::optional<std::string>& interfaceAddress, int protocol,
                                   int returnMode, std::optional<long long> frames, std::optional<double> timeout,
                                   int viewMode) {
    if (port < 0 || port > 65535) throw py::value_error("port takes 0..65535, not " + std::to_string(port));
    if (frames && *frames < 0) throw py::value_error("frames takes a count of 0 or more, not " + std::to_string(*frames));
    if (timeout && !(*timeout >= 0)) throw py::value_error("timeout takes seconds of 0 or more");
    k740::ListenOptions o;
    o.port = static_cast<std::uint16_t>(port);
    o.group = group.value_or(std::string());
    o.interfaceAddress = interfaceAddress.value_or(std::string());
    o.protocol = static_cast<k740::Protocol>(protocol);  // all three checked by the listener
    o.returnMode = static_cast<k740::ReturnMode>(returnMode);
    o.viewMode = static_cast<k740::ViewMode>(viewMode);
    auto l = std::make_shared<PyListener>();
    l->framesLeft = frames;
    l->timeout = timeout;
    l->listener = std::make_shared<k740::Listener>(o);
    // For whoever wants to know, through logging: a library writes nothing to stderr itself.
    py::module_::import("logging").attr("getLogger")("k740").attr("info")(
        "port %d: receive buffer of %d bytes granted", l->listener->port(), l->listener->receiveBufferBytes());
    return l;
}

// ---- device information packet ----

py::dict decodeDevice(const py::buffer& data) {
    const py::buffer_info info = data.request();
    if (info.ndim != 1 || info.itemsize != 1 || (info.size > 1 && info.strides[0] != 1))
        throw py::value_error("a device information packet is given as bytes (one contiguous run of them)");
    py::dict out;
    for (const auto& [name, text] :
         k740::decodeDevicePacket(static_cast<const std::uint8_t*>(info.ptr), static_cast<std::size_t>(info.size)))
        out[py::str(name)] = py::str(text);
    return out;
}

}  // namespace

PYBIND11_MODULE(_k740, m) {
    m.doc() = R"(The K740-P sensor's data from Python.

    cap = k740.open("run.pcap")            # a capture file (classic pcap or pcapng)
    print(len(cap), "frames")
    f = cap[0]                             # decoded on demand
    f.xyz                                  # (N, 3) float32, centimetres
    for f in k740.listen(port=2368, frames=10, timeout=5):
        print(f.index, len(f))             # live frames
    k740.decode_device_packet(data)        # dict of the status texts

Point arrays are NumPy arrays filled in C++ and read-only. Errors are Python exceptions
whose text is the tool's own: FileNotFoundError for a missing file, ValueError for a file
that is no capture or a bad argument, OSError for a port or group that cannot be used.)";

    // NumPy is set up now, once: set up on first use instead, under the GIL, two threads
    // making their first arrays at once would wait for each other for ever.
    py::module_::import("numpy");
    py::detail::npy_api::get();

    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const k740::Error& e) {
            // The text may hold a file name that is not UTF-8: decoded as os.fsdecode() does.
            const auto raise = [&e](PyObject* type) {
                const py::object text = py::reinterpret_steal<py::object>(PyUnicode_DecodeFSDefault(e.what()));
                if (!text) return;  // the decoding's own error stands
                if (e.systemError() != 0)
                    PyErr_SetObject(type, py::make_tuple(e.systemError(), text).ptr());
                else
                    PyErr_SetObject(type, text.ptr());
            };
            switch (e.kind()) {
                case k740::ErrorKind::FileNotFound: raise(PyExc_FileNotFoundError); return;
                case k740::ErrorKind::NotACapture:
                case k740::ErrorKind::InvalidArgument: raise(PyExc_ValueError); return;
                case k740::ErrorKind::ReadFailed:
                case k740::ErrorKind::Network: raise(PyExc_OSError); return;
            }
            raise(PyExc_RuntimeError);
        }
    });

    py::class_<PyFrame, std::shared_ptr<PyFrame>>(m, "Frame", R"(One frame (one revolution) of points.

The per-point arrays hold what `k740-convert dump` prints for the frame, in the same order;
len(frame) is the number of points. Arrays are read-only; copy one to change it.)")
        .def_property_readonly("index", [](const PyFrame& f) { return f.frame.index(); },
                               "Position in the capture (from 0); for live frames, the count of frames "
                               "received before this one.")
        .def("__len__", [](const PyFrame& f) { return f.frame.size(); }, "Number of points.")
        .def_property_readonly("azimuth", [](const std::shared_ptr<PyFrame>& f) { return shared(f, f->frame.azimuth()); },
                               "Azimuth of every point, degrees (float64).")
        .def_property_readonly("distance", [](const std::shared_ptr<PyFrame>& f) { return shared(f, f->frame.distance()); },
                               "Distance of every point as the raw count of the packet (float64); millimetres "
                               "are count / 0.5 for protocol 0 and count / 0.25 for protocol 1.")
        .def_property_readonly("intensity", &frameIntensity, "Intensity of every point, 0..255 (uint8).")
        .def_property_readonly("time", [](const std::shared_ptr<PyFrame>& f) { return shared(f, f->frame.time()); },
                               "Time stamp of every point in the unit of the packet time stamp (uint64).")
        .def_property_readonly("block_azimuth",
                               [](const std::shared_ptr<PyFrame>& f) { return shared(f, f->frame.blockAzimuth()); },
                               "Azimuth of every decoded block, degrees (float64).")
        .def_property_readonly("xyz", &frameXyz,
                               "Coordinates of every point in centimetres, an (N, 3) float32 array, computed "
                               "exactly as the CSV export computes them for the protocol and view mode the "
                               "frame was read with (view mode 1: whole centimetres, truncated toward zero).")
        .def_property_readonly("protocol", [](const PyFrame& f) { return asProtocol(f.frame.protocol()); },
                               "Protocol the coordinates use: a k740.Protocol (V1_6 or V1_7).")
        .def_property_readonly("view_mode", [](const PyFrame& f) { return asViewMode(f.frame.viewMode()); },
                               "View mode the coordinates use: a k740.ViewMode (WholeCentimetres or Exact).")
        .def("__repr__", [](const PyFrame& f) {
            return "<k740.Frame " + std::to_string(f.frame.index()) + ": " + std::to_string(f.frame.size()) +
                   " points, " + std::to_string(f.frame.blockAzimuth().size()) + " blocks>";
        });

    py::class_<PyCaptureIterator>(m, "CaptureIterator", "Iterates over the frames of a capture in order.")
        .def("__iter__", [](PyCaptureIterator& it) -> PyCaptureIterator& { return it; })
        .def("__next__", [](PyCaptureIterator& it) {
            if (!it.capture->capture || it.next >= it.capture->capture->size()) throw py::stop_iteration();
            return captureFrame(*it.capture, it.next++);
        });

    py::class_<PyCapture, std::shared_ptr<PyCapture>>(m, "Capture", R"(A capture file opened with k740.open().

len(capture) is the number of frames (as `k740-convert info` counts them); capture[i] decodes
frame i from the file (negative i counts from the end); iterating gives the frames in order.
Use it in a with-statement, or call close(), to release the file early.)")
        .def("__len__", [](PyCapture& c) { return c.open().size(); }, "Number of frames.")
        .def("__getitem__", &captureItem, py::arg("i"),
             "Frame i, decoded now; negative i counts from the end. IndexError outside. A slice "
             "(capture[1:3]) gives a list of the frames it selects.")
        .def("__iter__", [](const std::shared_ptr<PyCapture>& c) { return PyCaptureIterator{c, 0}; },
             "The frames in file order, each decoded when reached.")
        .def_property_readonly("path", [](PyCapture& c) { return c.path; },
                               "The file's name as a str, as os.fsdecode() gives it (os.fsencode() gives "
                               "back the bytes of a name that is not UTF-8).")
        .def_property_readonly("packets", [](PyCapture& c) { return c.open().packets(); },
                               "Sensor packets of the capture's kind (as `k740-convert info` counts them).")
        .def_property_readonly("other_kind_packets", [](PyCapture& c) { return c.open().otherKindPackets(); },
                               "Sensor packets of the other kind, not read: single-line packets when the file "
                               "is read for data packets, data packets with single_line=True (as "
                               "`k740-convert info` counts them). Opening warns when there are any.")
        .def_property_readonly("single_line", [](PyCapture& c) { return c.open().options().singleLine; },
                               "True when the file is read for 778-byte single-line packets.")
        .def_property_readonly("protocol", [](PyCapture& c) { return asProtocol(c.open().options().protocol); },
                               "Protocol for the frames' coordinates: a k740.Protocol.")
        .def_property_readonly("view_mode", [](PyCapture& c) { return asViewMode(c.open().options().viewMode); },
                               "View mode for the frames' coordinates: a k740.ViewMode.")
        .def_property_readonly("error",
                               [](PyCapture& c) -> std::optional<std::string> {
                                   const std::string& e = c.open().readError();
                                   if (e.empty()) return std::nullopt;
                                   return e;
                               },
                               "None when the whole file was read; otherwise why reading stopped (a damaged "
                               "or truncated file keeps the frames found before the fault).")
        .def("close", [](PyCapture& c) { c.capture.reset(); }, "Closes the file; the capture is unusable after.")
        .def("__enter__", [](const std::shared_ptr<PyCapture>& c) { return c; })
        .def("__exit__", [](PyCapture& c, py::args) { c.capture.reset(); })
        .def("__repr__", [](PyCapture& c) -> py::str {
            if (!c.capture) return py::str("<k740.Capture {!r} (closed)>").format(c.path);
            return py::str("<k740.Capture {!r}: {} frames>").format(c.path, c.capture->size());
        });

    m.def("open", &openCapture, py::arg("path"), py::arg("single_line") = false, py::arg("protocol") = 0,
          py::arg("view_mode") = 2, R"(Opens a capture file (classic pcap or pcapng) and finds its frames.

path         the file: str, bytes or path-like, as the os module takes them (a name that is
             not UTF-8 included; Capture.path gives it back as os.fsdecode() does)
single_line  False: 1206-byte data packets (records of 1248 bytes whose payload begins FF EE);
             True: 778-byte single-line packets (820-byte records beginning A2 5C)
protocol     distance divisor for Frame.xyz: k740.Protocol.V1_6 (count / 0.5) or V1_7
             (count / 0.25); the plain integers 0 and 1 are taken too
view_mode    k740.ViewMode.WholeCentimetres (1): coordinates truncated to whole centimetres;
             ViewMode.Exact (2): unrounded

A Capture iterates over its frames as the Listener of k740.listen() iterates over live ones:
a loop written for one serves the other. The file is read once here to find the frames, the same frames `k740-convert info` counts;
each frame is decoded from the file when it is asked for, as the player does. Sensor packets
of the other kind (single-line packets when single_line is False, and the reverse) are
counted in Capture.other_kind_packets, with a UserWarning when there are any.
Raises FileNotFoundError, PermissionError or another OSError (with errno, strerror and
filename) when the system refuses the file, ValueError for a file that is no capture or an
argument out of range.)");

    py::class_<PyListener, std::shared_ptr<PyListener>>(m, "Listener", R"(Live frames from k740.listen().

An iterator: each next() waits for the next frame (with the GIL released). It ends after the
number of frames asked for, after `timeout` seconds without a frame, or when close() is
called; Ctrl+C raises KeyboardInterrupt and closes it.)")
        .def("__iter__", [](const std::shared_ptr<PyListener>& l) { return l; })
        .def("__next__", &PyListener::next)
        .def_property_readonly("port", [](PyListener& l) -> int { return l.listener ? l.listener->port() : 0; },
                               "The data port bound (useful with port=0), 0 once closed.")
        .def_property_readonly("protocol",
                               [](PyListener& l) -> py::object {
                                   if (!l.listener) return py::none();
                                   return asProtocol(l.listener->protocol());
                               },
                               "Protocol in force for the frame under assembly, a k740.Protocol (None once "
                               "closed).")
        .def_property_readonly("datagrams", &PyListener::datagramsNow,
                               "Datagrams received so far; after the end, the count at the end.")
        .def_property_readonly("frames_dropped", &PyListener::framesDroppedNow,
                               "Frames dropped because 64 were already waiting to be taken; after the end, "
                               "the count at the end.")
        .def_property_readonly("receive_buffer",
                               [](PyListener& l) { return l.listener ? l.listener->receiveBufferBytes() : 0; },
                               "Bytes of receive buffer the system granted the socket, as it reports them "
                               "(Linux: twice the usable size); 0 once closed. Also logged at INFO level on "
                               "the logger \"k740\" when listening starts.")
        .def("close", &PyListener::close, "Stops receiving and releases the port.")
        .def("__enter__", [](const std::shared_ptr<PyListener>& l) { return l; })
        .def("__exit__", [](PyListener& l, py::args) { l.close(); });

    m.def("listen", &listen, py::arg("port") = 2368, py::arg("group") = py::none(), py::arg("interface") = py::none(),
          py::arg("protocol") = 0, py::arg("return_mode") = 0, py::arg("frames") = py::none(),
          py::arg("timeout") = py::none(), py::arg("view_mode") = 2,
          R"(Receives the sensor's data stream and yields its frames (a Listener).

port         data port (0: any free port, see Listener.port)
group        multicast group to join, e.g. "224.1.1.1"; None for none
interface    address of the interface to join the group on; None for any
protocol     protocol requested, a k740.Protocol (or 0, 1); V1_6 applies until the first
             frame boundary, as on the live display
return_mode  a k740.ReturnMode (or 0..3): StrongEcho, DualEcho, DualEchoFirst, DualEchoSecond
frames       stop after this many frames (None: no limit)
timeout      stop after this many seconds without a frame (None: no limit)
view_mode    a k740.ViewMode (or 1, 2), for Frame.xyz

The Listener iterates over live frames as a Capture from k740.open() iterates over a file's:
a loop written for one serves the other. Frames are assembled by the live display's rules (carry-over of early points, the pending
protocol, echo selection, single-line packets). The first frame is partial: it holds the
points from wherever the stream was joined up to the first frame boundary (and protocol 0
applies to it); skip it when whole revolutions matter. Up to 64 frames wait to be taken;
newer ones are dropped and counted (Listener.frames_dropped). Nothing is written to
standard error: the receive buffer granted is logged at INFO level on the logger "k740".
Raises OSError when the port is in use or the group cannot be joined (the viewer's words),
ValueError for an argument out of range.)");

    m.def("decode_device_packet", &decodeDevice, py::arg("data"),
          R"(Decodes a device information packet (1206 bytes beginning A5 FF 00 5A 11 11 55 55).

Returns a dict of the status values, named and written as `k740-convert status` prints
them ("lidar-ip": "192.168.1.222", "rpm": "600", ...). Raises ValueError for anything else.)");

    m.attr("__version__") = k740::version();
}
