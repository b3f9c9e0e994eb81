// The K740-P sensor's data from C++: capture files frame by frame, the live stream, and the
// device information packet. This header is the whole consumer interface; it needs no Qt
// headers and no event loop (the library links Qt Core underneath).
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

struct LidarDataSingleLine;  // the decoded frame record (implementation)

namespace k740 {

// What kind of failure an Error reports.
enum class ErrorKind {
    FileNotFound,     // the capture file does not exist
    NotACapture,      // the file cannot be read as a classic pcap or pcapng capture
    InvalidArgument,  // an option out of range, a packet of the wrong length, a frame index
    ReadFailed,       // reading a frame from a file that changed or was cut short
    Network,          // the port is in use, the group cannot be joined, ...
};

class Error : public std::runtime_error {
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
class Frame {
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

    // Protocol (0: "1.6", 1: "1.7") and view mode (1 or 2) the coordinates use.
    int protocol() const { return protocol_; }
    int viewMode() const { return viewMode_; }

    // Coordinates in cm of every point, computed exactly as the CSV export computes them for
    // this frame's protocol and view mode (view mode 1: truncated to whole centimetres).
    std::vector<PointXyz> xyz() const;
    // The same into out[0 .. 3 * size()), x y z of each point in turn.
    void xyz(float* out) const;

    // The decoded record itself (for code built inside this project).
    const LidarDataSingleLine& record() const { return *data_; }

private:
    friend struct FrameMaker;
    std::shared_ptr<const LidarDataSingleLine> data_;
    std::size_t index_ = 0;
    int protocol_ = 0;
    int viewMode_ = 2;
};

// How a capture file is read.
struct CaptureOptions {
    bool singleLine = false;  // false: 1206-byte data packets; true: 778-byte single-line packets
    int protocol = 0;         // distance divisor for xyz(): 0 ("1.6", / 0.5), 1 ("1.7", / 0.25)
    int viewMode = 2;         // 1: whole centimetres, 2: exact
};

// A capture file (classic pcap or pcapng). Opening reads the file once to find its frames
// (the frame catalog, the same frames `k740-convert info` counts); frame(i) then decodes
// frame i from the file on demand, as the player does. Every const member may be called from
// several threads at once; moving or destroying a Capture may not overlap any other call.
// A moved-from Capture holds no file: every member but assignment and destruction throws
// Error InvalidArgument.
class Capture {
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

    class iterator {
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
    int protocol = 0;              // protocol requested; applies from the next frame boundary
    int returnMode = 0;            // 0 strong echo, 1 dual echo, 2 first, 3 second of dual
    int viewMode = 2;              // for Frame::xyz(): 1 whole centimetres, 2 exact
    std::size_t maxQueued = 64;    // frames kept for next(); newer ones are dropped beyond it
};

// The live receiver on the data port, on a thread of its own from construction to
// destruction: the live display's frame assembly (carry-over, pending protocol, echo
// selection, single-line packets). Frames wait in a bounded queue for next().
class Listener {
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
    // to the first frame boundary (and protocol 0 applies to it until that boundary).
    std::optional<Frame> next(double timeoutSeconds = -1.0);
    // Calls onFrame for every frame until it returns false, stop() is called, or no frame
    // came for idleTimeoutSeconds (negative: no limit). Returns the frames handed over.
    // Takes frames by next(), so it shares them with any next() on another thread.
    std::size_t run(const std::function<bool(const Frame&)>& onFrame, double idleTimeoutSeconds = -1.0);
    // Ends waiting in next() and run(); safe from any thread.
    void stop();

    // The protocol in force for the frame under assembly.
    int protocol() const;
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
std::vector<std::pair<std::string, std::string>> decodeDevicePacket(const std::uint8_t* data,
                                                                    std::size_t length);

// "5.0.7"
const char* version();

}  // namespace k740
