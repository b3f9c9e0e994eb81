// Live capture from a network adapter: listing the adapters, choosing the one that carries
// the sensor's traffic, and a capture handle with a filter that writes into a dump file.
// The only place that talks to the capture library for live capture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct pcap;
struct pcap_dumper;

namespace k740 {

// One IPv4 address of an adapter, host byte order.
struct AdapterIpv4 {
    std::uint32_t address = 0;
    std::uint32_t netmask = 0;
};

// What the capture library says about one adapter.
struct CaptureAdapter {
    std::string name;  // what the library opens ("eth0", "lo", "\Device\NPF_{...}")
    std::string description;
    bool up = false;
    bool loopback = false;
    std::vector<AdapterIpv4> ipv4;
};

// The adapter to record from, or why there is none.
struct AdapterChoice {
    std::string name;   // empty when no adapter fits
    std::string error;  // set when name is empty
    bool ok() const { return !name.empty(); }
};

// The pseudo-adapter that captures on all adapters at once. Its records carry the library's
// cooked link header instead of the Ethernet header, so the player could not read them: it
// is never chosen, not even by name.
constexpr const char* kAnyAdapterName = "any";

// Chooses the adapter to record from:
// - overrideName, when not empty, names the adapter (it must be listed);
// - otherwise the first adapter that is up and whose IPv4 subnet holds sensorAddress (host
//   byte order, 0 = unknown); a sensor on 127.x is found on the loopback adapter this way;
// - otherwise the first adapter that is up, not loopback, with an IPv4 address.
AdapterChoice chooseCaptureAdapter(const std::vector<CaptureAdapter>& adapters,
                                   std::uint32_t sensorAddress, const std::string& overrideName);

// What a failed choice tells the operator beside its reason: which adapters were tried, each
// with its IPv4 networks ("lo 127.0.0.1/8 (loopback), eth0 10.1.2.3/24"), and that
// `--capture-interface NAME` chooses one.
std::string adapterChoiceHelp(const std::vector<CaptureAdapter>& adapters);

// The adapters the capture library can open, in its order; empty with *error set when the
// library cannot list them.
std::vector<CaptureAdapter> listCaptureAdapters(std::string* error);

// A live capture on one adapter writing every packet that passes its filter into a dump
// file. Not thread-safe: one thread owns it at a time.
class LiveCapture {
public:
    // Whole packets, even loopback's 64 KiB ones, plus their link header.
    static constexpr int kSnapLength = 262144;

    LiveCapture() = default;
    ~LiveCapture();
    LiveCapture(const LiveCapture&) = delete;
    LiveCapture& operator=(const LiveCapture&) = delete;

    // Opens the adapter (promiscuous, non-blocking, packets handed over in batches at most
    // 100 ms old) and sets the filter. False with error() set; then nothing stays open.
    bool open(const std::string& adapterName, const std::string& filter);
    // The failed open() was refused for lack of capture permission.
    bool permissionDenied() const { return permissionDenied_; }
    // Opens the dump file (classic pcap, the adapter's link type). False with error() set
    // (folder missing or read-only); the adapter stays open for the caller to close.
    bool openDump(const std::string& fileNameBytes);

    // Waits up to waitMs for packets, writes every packet that has arrived to the dump file
    // and flushes it. Returns the packets written, 0 when none came, -1 on a capture or
    // write error (error() says which).
    int pump(int waitMs);

    // Closes the dump file (complete and valid) and then the adapter.
    void close();

    bool isOpen() const { return handle_ != nullptr; }
    int linkType() const;  // 1 = Ethernet, -1 when not open
    std::uint64_t packetsWritten() const { return written_; }
    const std::string& error() const { return error_; }

private:
    pcap* handle_ = nullptr;
    pcap_dumper* dumper_ = nullptr;
    std::uint64_t written_ = 0;
    bool permissionDenied_ = false;
    std::string error_;
};

// A search for one frame on an adapter (the settings windows look for a device information
// packet this way). Each read waits at most readTimeoutMs; the search gives up after
// frameLimit frames that do not qualify, after a read that brought nothing, and in any case
// after totalLimitMs, so that no search blocks without bound.
struct FrameSearch {
    int readTimeoutMs = 1000;
    int frameLimit = 3000;
    int totalLimitMs = 5000;
    std::string filter;  // capture filter (empty = every frame)
};
enum class FrameSearchResult { Found, NotFound, OpenFailed };
// Opens adapterName (snapshot 65535, promiscuous) and reads until accept(frame, length) says
// yes; the accepted frame is copied into *frame. OpenFailed with *error (and
// *permissionDenied) when the adapter cannot be opened.
FrameSearchResult searchFrame(const std::string& adapterName, const FrameSearch& search,
                              const std::function<bool(const std::uint8_t*, std::size_t)>& accept,
                              std::vector<std::uint8_t>* frame, std::string* error,
                              bool* permissionDenied = nullptr);

}  // namespace k740
