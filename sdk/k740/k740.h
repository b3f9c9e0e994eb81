// The K740-P sensor's data from C++: capture files frame by frame, the live stream, and the
// device information packet. This header is the whole consumer interface: it needs nothing but
// the C++17 standard library.
//
//   #include <k740/k740.h>
//
//   k740::Capture cap("run.pcap");                // 1206-byte data packets
//   std::printf("frames: %zu\n", cap.size());
//   for (const k740::Frame& f : cap)               // decoded one at a time, on demand
//       std::printf("%zu: %zu points\n", f.index(), f.size());
//
//   k740::Listener live;                           // data port 2368 on every address
//   if (auto f = live.next(1.0)) ...               // the next frame, or nothing within 1 s
//
// A capture and a listener are both a k740::Source: processing written once against
// Source::next() or Source::run() serves files and live data alike.
//
// Every failure is reported by throwing k740::Error, whose text names what went wrong in the
// words k740-convert and the viewer use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// What the shared library exports (libk740.so exports nothing else).
#if defined(_WIN32)
#if defined(K740_BUILDING_SHARED)
#define K740_API __declspec(dllexport)
#elif defined(K740_SHARED)
#define K740_API __declspec(dllimport)
#else
#define K740_API
#endif
#else
#define K740_API __attribute__((visibility("default")))
#endif

namespace k740 {

// The packet protocol: how many points a block of a data packet carries and the distance
// divisor for coordinates (the viewer's protocol choice "1.6" or "1.7").
enum class Protocol : int {
    V1_6 = 0,  // two points a block; millimetres = count / 0.5
    V1_7 = 1,  // thirty points a block; millimetres = count / 0.25
};

// Which echoes of a data packet make the live frames (the viewer's echo choice).
enum class ReturnMode : int {
    StrongEcho = 0,      // every block
    DualEcho = 1,        // first echo (even blocks) followed by second echo (odd blocks)
    DualEchoFirst = 2,   // even blocks only
    DualEchoSecond = 3,  // odd blocks only
};

// How coordinates are given (the viewer's "View Mode 1" and "View Mode 2").
enum class ViewMode : int {
    WholeCentimetres = 1,  // truncated toward zero to whole centimetres
    Exact = 2,             // unrounded
};

// What kind of failure an Error reports.
enum class ErrorKind {
    FileNotFound,     // the capture file does not exist
    NotACapture,      // the file cannot be read as a classic pcap or pcapng capture
    InvalidArgument,  // an option out of range, a packet of the wrong length, a frame index
    ReadFailed,       // reading a frame from a file that changed or was cut short
    Network,          // the port is in use, the group cannot be joined, ...
};

class K740_API Error : public std::runtime_error {
public:
    Error(ErrorKind kind, const std::string& what, int systemError = 0)
        : std::runtime_error(what), kind_(kind), systemError_(systemError) {}
    ErrorKind kind() const { return kind_; }
    // The system's error number (errno: ENOENT, EACCES, ...) when the system refused a file,
    // otherwise 0.
    int systemError() const { return systemError_; }

private:
    ErrorKind kind_;
    int systemError_;
};

// One point's coordinates in centimetres.
struct PointXyz {
    float x = 0, y = 0, z = 0;
};

// One frame (one revolution): parallel per-point vectors, as `k740-convert dump` prints them.
// Copies share the decoded data; a frame stays valid after its capture or listener is gone.
// A default-constructed frame has no points.
class K740_API Frame {
public:
    Frame();

    // Position in the capture (from 0), or the count of frames received before it (live).
    std::size_t index() const { return index_; }
    // Number of points.
    std::size_t size() const;

    const std::vector<double>& azimuth() const;          // degrees, per point
    const std::vector<double>& distance() const;         // raw distance count, per point
    const std::vector<int>& intensity() const;           // 0..255, per point
    const std::vector<std::uint64_t>& time() const;      // packet time unit, per point
    const std::vector<double>& blockAzimuth() const;     // degrees, one per decoded block

    // Protocol and view mode the coordinates use.
    Protocol protocol() const { return protocol_; }
    ViewMode viewMode() const { return viewMode_; }

    // Coordinates in cm of every point, computed exactly as the CSV export computes them for
    // this frame's protocol and view mode (view mode 1: truncated to whole centimetres).
    std::vector<PointXyz> xyz() const;
    // The same into out[0 .. 3 * size()), x y z of each point in turn. Runs on the calling
    // thread alone; frames of one source share what they have worked out for earlier frames.
    void xyz(float* out) const;

private:
    friend struct FrameMaker;
    struct Data;
    std::shared_ptr<const Data> data_;
    std::size_t index_ = 0;
    Protocol protocol_ = Protocol::V1_6;
    ViewMode viewMode_ = ViewMode::Exact;
};

// Where frames come from: a capture file (Capture) or the live stream (Listener). Code that
// takes a Source& processes files and live data alike.
class K740_API Source {
public:
    virtual ~Source();
    // The next frame, waiting at most timeoutSeconds for one (negative: no limit); nothing
    // when the source has no more (the end of a capture, a time-out or stop() of a listener).
    virtual std::optional<Frame> next(double timeoutSeconds = -1.0) = 0;
    // Calls onFrame for every frame next() gives until it returns false or next() gives
    // nothing (waiting at most idleTimeoutSeconds for each; negative: no limit). Returns the
    // frames handed over.
    virtual std::size_t run(const std::function<bool(const Frame&)>& onFrame, double idleTimeoutSeconds = -1.0);

protected:
    Source() = default;
    Source(const Source&) = default;
    Source(Source&&) = default;
    Source& operator=(const Source&) = default;
    Source& operator=(Source&&) = default;
};

// How a capture file is read.
struct CaptureOptions {
    bool singleLine = false;  // false: 1206-byte data packets; true: 778-byte single-line packets
    Protocol protocol = Protocol::V1_6;  // distance divisor for Frame::xyz()
    ViewMode viewMode = ViewMode::Exact;
};

// A capture file (classic pcap or pcapng). Opening reads the file once to find its frames
// (the frame catalog, the same frames `k740-convert info` counts); frame(i) then decodes
// frame i from the file on demand, as the player does. Every const member may be called from
// several threads at once; moving or destroying a Capture may not overlap any other call.
// A moved-from Capture holds no file: every member but assignment and destruction throws
// Error InvalidArgument.
//
// As a Source, a capture gives its frames in order from a cursor of its own (next() and
// run() move it; frame(i) and iterating do not), and nothing after the last. next() and
// run() are not const: one thread at a time.
class K740_API Capture : public Source {
public:
    // Throws Error: FileNotFound, NotACapture, InvalidArgument (options out of range).
    explicit Capture(const std::string& path, const CaptureOptions& options = {});
    ~Capture();
    Capture(Capture&&) noexcept;
    Capture& operator=(Capture&&) noexcept;

    const std::string& path() const;
    const CaptureOptions& options() const;
    // Frames of the capture-file analysis.
    std::size_t size() const;
    // Sensor packets of the capture's kind.
    std::uint64_t packets() const;
    // Sensor packets of the other kind, read past: single-line packets in a file read for
    // data packets, and the reverse. Many of them and no frames: the file wants the other
    // CaptureOptions::singleLine.
    std::uint64_t otherKindPackets() const;
    // Empty when the whole file was read; otherwise why reading stopped (a damaged or
    // truncated file keeps the frames found before the fault).
    const std::string& readError() const;

    // Frame i (0 <= i < size()); throws Error InvalidArgument outside, ReadFailed when the
    // file changed since it was opened. Safe from several threads at once: each call reads
    // the file with a file position of its own.
    Frame frame(std::size_t i) const;

    // The frame at the cursor, which then moves on; nothing after the last frame. A file
    // never waits: the time-out is not used. Throws as frame() does (the cursor stays).
    std::optional<Frame> next(double timeoutSeconds = -1.0) override;
    // The index next() reads; rewind(0) starts again from the first frame.
    std::size_t cursor() const;
    void rewind(std::size_t index = 0);

    class K740_API iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = Frame;
        using difference_type = std::ptrdiff_t;
        using pointer = const Frame*;
        using reference = const Frame&;
        iterator(const Capture* c, std::size_t i) : c_(c), i_(i) {}
        reference operator*();
        pointer operator->() { return &**this; }
        iterator& operator++() {
            ++i_;
            loaded_ = false;
            return *this;
        }
        bool operator==(const iterator& o) const { return i_ == o.i_; }
        bool operator!=(const iterator& o) const { return i_ != o.i_; }

    private:
        const Capture* c_;
        std::size_t i_;
        Frame f_;
        bool loaded_ = false;
    };
    iterator begin() const {
        impl();  // throws when moved from
        return iterator(this, 0);
    }
    iterator end() const { return iterator(this, size()); }

private:
    struct Impl;
    Impl& impl() const;  // throws when moved from
    std::unique_ptr<Impl> impl_;
};

// How the live stream is received.
struct ListenOptions {
    std::uint16_t port = 2368;     // data port; 0 takes any free port (see Listener::port())
    std::string group;             // multicast group to join, empty for none
    std::string interfaceAddress;  // interface to join the group on, empty for any
    Protocol protocol = Protocol::V1_6;  // requested; applies from the next frame boundary
    ReturnMode returnMode = ReturnMode::StrongEcho;
    ViewMode viewMode = ViewMode::Exact;  // for Frame::xyz()
    std::size_t maxQueued = 64;    // frames kept for next(); newer ones are dropped beyond it
};

// The live receiver on the data port, on a thread of its own from construction to
// destruction: the live display's frame assembly (carry-over, pending protocol, echo
// selection, single-line packets). Frames wait in a bounded queue for next().
class K740_API Listener : public Source {
public:
    // Throws Error Network with the viewer's words ("Port 2368 is in use", "Cannot join
    // multicast group ..."), InvalidArgument for options out of range.
    explicit Listener(const ListenOptions& options = {});
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // The port actually bound.
    std::uint16_t port() const;
    // The receive buffer the system granted the socket, in bytes, as the system reports it
    // (Linux reports twice the usable size). Nothing is written to standard error about it.
    int receiveBufferBytes() const;
    // The next frame, waiting at most timeoutSeconds (negative: until one comes or stop());
    // nothing on a timeout or after stop(). May be called from several threads at once: each
    // frame goes to exactly one caller, in the order of the calls' turns at the queue.
    //
    // The first frame is partial: it holds the points from wherever the stream was joined
    // to the first frame boundary (and Protocol::V1_6 applies to it until that boundary).
    std::optional<Frame> next(double timeoutSeconds = -1.0) override;
    // run() (Source's) ends when onFrame returns false, stop() is called, or no frame came
    // for idleTimeoutSeconds; it takes frames by next(), so it shares them with any next() on
    // another thread.
    // Ends waiting in next() and run(); safe from any thread.
    void stop();

    // The protocol in force for the frame under assembly.
    Protocol protocol() const;
    // Datagrams read, and frames dropped because the queue was full.
    long long datagrams() const;
    long long framesDropped() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The status values of a device information packet (1206 bytes beginning A5 FF 00 5A 11 11
// 55 55), as `k740-convert status` prints them: pairs of name ("lidar-ip", "rpm", ...) and
// text, in its order. Throws Error InvalidArgument for anything else.
K740_API std::vector<std::pair<std::string, std::string>> decodeDevicePacket(const std::uint8_t* data,
                                                                    std::size_t length);

// "5.0.7"
K740_API const char* version();

}  // namespace k740
