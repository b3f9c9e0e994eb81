// Live capture through the capture library: adapter listing and choice, and the capture
// handle that writes a dump file. A build without the library (K740_HAVE_PCAP 0) keeps the
// adapter choice and says in one line that live capture needs it.
#include "platform/capture_device.h"

#if K740_HAVE_PCAP
#include <pcap/pcap.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#endif

namespace k740 {

namespace {

bool isAny(const CaptureAdapter& a) { return a.name == kAnyAdapterName; }

bool holds(const AdapterIpv4& net, std::uint32_t address) {
    // A zero mask would hold every address: it says nothing about where the sensor is.
    return net.netmask != 0 && (net.address & net.netmask) == (address & net.netmask);
}

#if K740_HAVE_PCAP
std::uint32_t hostOrderAddress(const sockaddr* sa) {
    if (sa == nullptr || sa->sa_family != AF_INET) return 0;
    sockaddr_in in;
    std::memcpy(&in, sa, sizeof in);
    return ntohl(in.sin_addr.s_addr);
}

// The library's read timeout: packets reach the recorder at most this late.
constexpr int kReadTimeoutMs = 100;
// Kernel buffer of the capture: about 6000 sensor records, several seconds of the stream.
constexpr int kBufferBytes = 8 * 1024 * 1024;
#endif

}  // namespace

AdapterChoice chooseCaptureAdapter(const std::vector<CaptureAdapter>& adapters,
                                   std::uint32_t sensorAddress, const std::string& overrideName) {
    AdapterChoice choice;
    if (!overrideName.empty()) {
        if (overrideName == kAnyAdapterName) {
            choice.error =
                "the capture interface \"any\" cannot be recorded from: its records carry no "
                "Ethernet header and would not play back";
            return choice;
        }
        for (const CaptureAdapter& a : adapters) {
            if (a.name == overrideName) {
                choice.name = a.name;
                return choice;
            }
        }
        choice.error = "the capture interface \"" + overrideName + "\" does not exist";
        return choice;
    }
    if (sensorAddress != 0) {
        for (const CaptureAdapter& a : adapters) {
            if (!a.up || isAny(a)) continue;
            for (const AdapterIpv4& net : a.ipv4) {
                if (holds(net, sensorAddress)) {
                    choice.name = a.name;
                    return choice;
                }
            }
        }
    }
    for (const CaptureAdapter& a : adapters) {
        if (a.up && !a.loopback && !isAny(a) && !a.ipv4.empty()) {
            choice.name = a.name;
            return choice;
        }
    }
    choice.error = "no network adapter is up with an IPv4 address";
    return choice;
}

std::string adapterChoiceHelp(const std::vector<CaptureAdapter>& adapters) {
    std::string tried;
    for (const CaptureAdapter& a : adapters) {
        if (isAny(a)) continue;
        if (!tried.empty()) tried += ", ";
        tried += a.name;
        for (const AdapterIpv4& net : a.ipv4) {
            int prefix = 0;
            for (std::uint32_t m = net.netmask; m & 0x80000000u; m <<= 1) ++prefix;
            const std::uint32_t ip = net.address;
            tried += ' ' + std::to_string(ip >> 24) + '.' + std::to_string((ip >> 16) & 0xFF) + '.' +
                     std::to_string((ip >> 8) & 0xFF) + '.' + std::to_string(ip & 0xFF) + '/' +
                     std::to_string(prefix);
        }
        if (a.loopback) tried += " (loopback)";
        if (!a.up) tried += " (down)";
    }
    return "Adapters tried: " + (tried.empty() ? std::string("none") : tried) +
           ". Start the viewer with --capture-interface NAME to choose one.";
}

#if K740_HAVE_PCAP
std::vector<CaptureAdapter> listCaptureAdapters(std::string* error) {
    std::vector<CaptureAdapter> out;
    char errbuf[PCAP_ERRBUF_SIZE] = {0};
    pcap_if_t* all = nullptr;
    if (pcap_findalldevs(&all, errbuf) != 0) {
        if (error != nullptr)
            *error = errbuf[0] != '\0' ? errbuf : "cannot list the network adapters";
        return out;
    }
    for (pcap_if_t* d = all; d != nullptr; d = d->next) {
        CaptureAdapter a;
        a.name = d->name != nullptr ? d->name : "";
        a.description = d->description != nullptr ? d->description : "";
#ifdef PCAP_IF_UP
        a.up = (d->flags & PCAP_IF_UP) != 0;
#else
        a.up = true;  // older libraries do not say
#endif
        a.loopback = (d->flags & PCAP_IF_LOOPBACK) != 0;
        for (pcap_addr_t* p = d->addresses; p != nullptr; p = p->next) {
            if (p->addr == nullptr || p->addr->sa_family != AF_INET) continue;
            a.ipv4.push_back({hostOrderAddress(p->addr), hostOrderAddress(p->netmask)});
        }
        out.push_back(std::move(a));
    }
    pcap_freealldevs(all);
    return out;
}

#endif

LiveCapture::~LiveCapture() { close(); }

#if K740_HAVE_PCAP

bool LiveCapture::open(const std::string& adapterName, const std::string& filter) {
    close();
    error_.clear();
    written_ = 0;
    permissionDenied_ = false;
    char errbuf[PCAP_ERRBUF_SIZE] = {0};
    handle_ = pcap_create(adapterName.c_str(), errbuf);
    if (handle_ == nullptr) {
        error_ = errbuf[0] != '\0' ? errbuf : "cannot open the adapter";
        return false;
    }
    pcap_set_snaplen(handle_, kSnapLength);
    pcap_set_promisc(handle_, 1);
    // Packets come in batches at most kReadTimeoutMs old: a recording needs no immediacy, and
    // batched delivery packs small packets densely into the kernel's buffer, which then rides
    // out a slow disk (in immediate mode every packet takes a slot as large as the adapter's
    // MTU, 64 KiB on loopback, and a burst of a few dozen packets overflows it).
    pcap_set_timeout(handle_, kReadTimeoutMs);
    pcap_set_buffer_size(handle_, kBufferBytes);
    const int rc = pcap_activate(handle_);
    if (rc < 0) {
        permissionDenied_ = rc == PCAP_ERROR_PERM_DENIED || rc == PCAP_ERROR_PROMISC_PERM_DENIED;
        const std::string detail = pcap_geterr(handle_);
        error_ = "cannot capture on " + adapterName + ": " +
                 (detail.empty() ? std::string(pcap_statustostr(rc)) : detail);
        close();
        return false;
    }
    // The player reads Ethernet records; other link headers (the "any" adapter's cooked
    // header, raw IP tunnels) would make a file that never plays back.
    if (pcap_datalink(handle_) != DLT_EN10MB) {
        error_ = "the adapter " + adapterName + " does not deliver Ethernet frames (link type " +
                 std::to_string(pcap_datalink(handle_)) + "): its recording would not play back";
        close();
        return false;
    }
    if (pcap_setnonblock(handle_, 1, errbuf) != 0) {
        error_ = std::string("cannot capture on ") + adapterName + ": " + errbuf;
        close();
        return false;
    }
    bpf_program program;
    if (pcap_compile(handle_, &program, filter.c_str(), 1, PCAP_NETMASK_UNKNOWN) != 0) {
        error_ = "the capture filter \"" + filter + "\" is not valid: " + pcap_geterr(handle_);
        close();
        return false;
    }
    const int set = pcap_setfilter(handle_, &program);
    pcap_freecode(&program);
    if (set != 0) {
        error_ = std::string("cannot set the capture filter: ") + pcap_geterr(handle_);
        close();
        return false;
    }
    return true;
}

bool LiveCapture::openDump(const std::string& fileNameBytes) {
    if (handle_ == nullptr) {
        error_ = "no adapter is open";
        return false;
    }
    if (dumper_ != nullptr) {
        pcap_dump_close(dumper_);
        dumper_ = nullptr;
    }
    dumper_ = pcap_dump_open(handle_, fileNameBytes.c_str());
    if (dumper_ == nullptr) {
        error_ = std::string("cannot create the capture file: ") + pcap_geterr(handle_);
        return false;
    }
    return true;
}

namespace {
struct PumpContext {
    pcap_dumper_t* dumper;
    std::uint64_t count;
};

void writeOne(u_char* user, const pcap_pkthdr* header, const u_char* bytes) {
    auto* ctx = reinterpret_cast<PumpContext*>(user);
    pcap_dump(reinterpret_cast<u_char*>(ctx->dumper), header, bytes);
    ++ctx->count;
}
}  // namespace

int LiveCapture::pump(int waitMs) {
    if (handle_ == nullptr || dumper_ == nullptr) {
        error_ = "not recording";
        return -1;
    }
    if (waitMs > 0) {
#ifdef _WIN32
        WaitForSingleObject(pcap_getevent(handle_), static_cast<DWORD>(waitMs));
#else
        const int fd = pcap_get_selectable_fd(handle_);
        if (fd >= 0) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, waitMs) < 0 && errno != EINTR) {
                error_ = std::string("waiting for packets failed: ") + std::strerror(errno);
                return -1;
            }
        }
#endif
    }
    PumpContext ctx{dumper_, 0};
    const int n = pcap_dispatch(handle_, -1, writeOne, reinterpret_cast<u_char*>(&ctx));
    written_ += ctx.count;
    if (n < 0) {
        error_ = std::string("capture failed: ") + pcap_geterr(handle_);
        return -1;
    }
    if (ctx.count > 0 && pcap_dump_flush(dumper_) != 0) {
        error_ = std::string("cannot write the capture file: ") + std::strerror(errno);
        return -1;
    }
    return static_cast<int>(ctx.count);
}

void LiveCapture::close() {
    if (dumper_ != nullptr) {
        pcap_dump_close(dumper_);  // flushes what is buffered and closes the file
        dumper_ = nullptr;
    }
    if (handle_ != nullptr) {
        pcap_close(handle_);
        handle_ = nullptr;
    }
}

int LiveCapture::linkType() const { return handle_ != nullptr ? pcap_datalink(handle_) : -1; }

FrameSearchResult searchFrame(const std::string& adapterName, const FrameSearch& search,
                              const std::function<bool(const std::uint8_t*, std::size_t)>& accept,
                              std::vector<std::uint8_t>* frame, std::string* error,
                              bool* permissionDenied) {
    if (permissionDenied) *permissionDenied = false;
    char errbuf[PCAP_ERRBUF_SIZE] = {0};
    pcap_t* handle = pcap_create(adapterName.c_str(), errbuf);
    if (handle == nullptr) {
        if (error) *error = "cannot open adapter " + adapterName + ": " + errbuf;
        return FrameSearchResult::OpenFailed;
    }
    pcap_set_snaplen(handle, 65535);
    pcap_set_promisc(handle, 1);
    pcap_set_timeout(handle, search.readTimeoutMs);
    // Each frame as it comes: the read timeout then bounds the wait for the next one.
    pcap_set_immediate_mode(handle, 1);
    const int rc = pcap_activate(handle);
    if (rc < 0) {
        if (permissionDenied)
            *permissionDenied =
                rc == PCAP_ERROR_PERM_DENIED || rc == PCAP_ERROR_PROMISC_PERM_DENIED;
        const std::string detail = pcap_geterr(handle);
        if (error)
            *error = "cannot open adapter " + adapterName + ": " +
                     (detail.empty() ? std::string(pcap_statustostr(rc)) : detail);
        pcap_close(handle);
        return FrameSearchResult::OpenFailed;
    }
    if (!search.filter.empty()) {
        bpf_program program{};
        const bool set =
            pcap_compile(handle, &program, search.filter.c_str(), 1, PCAP_NETMASK_UNKNOWN) == 0 &&
            pcap_setfilter(handle, &program) == 0;
        if (!set) {
            if (error)
                *error = "the capture filter \"" + search.filter +
                         "\" is not valid: " + pcap_geterr(handle);
            pcap_freecode(&program);
            pcap_close(handle);
            return FrameSearchResult::OpenFailed;
        }
        pcap_freecode(&program);
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(search.totalLimitMs);
    FrameSearchResult result = FrameSearchResult::NotFound;
    for (int seen = 0; seen < search.frameLimit; ++seen) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) break;
            // Wait for readiness ourselves so that the last read ends at the deadline too.
#ifndef _WIN32
        const int fd = pcap_get_selectable_fd(handle);
        if (fd >= 0) {
            pollfd pfd{fd, POLLIN, 0};
            const int wait = static_cast<int>(std::min<long long>(left, search.readTimeoutMs));
            if (::poll(&pfd, 1, wait) <= 0) break;  // nothing within the read timeout
        }
#endif
        pcap_pkthdr* header = nullptr;
        const u_char* bytes = nullptr;
        const int got = pcap_next_ex(handle, &header, &bytes);
#ifndef _WIN32
        // Readable but nothing handed over (the library's own buffer bookkeeping): wait again;
        // the poll above ends a search that gets nothing within the read timeout.
        if (got == 0 && fd >= 0) {
            --seen;
            continue;
        }
#endif
        if (got <= 0) break;
        if (accept(bytes, header->caplen)) {
            if (frame) frame->assign(bytes, bytes + header->caplen);
            result = FrameSearchResult::Found;
            break;
        }
    }
    pcap_close(handle);
    return result;
}

#else  // no capture library in this build

namespace {
const char* const kNoLibrary = "live capture needs libpcap, which this build lacks";
}

std::vector<CaptureAdapter> listCaptureAdapters(std::string* error) {
    if (error != nullptr) *error = kNoLibrary;
    return {};
}

bool LiveCapture::open(const std::string&, const std::string&) {
    error_ = kNoLibrary;
    permissionDenied_ = false;
    return false;
}

bool LiveCapture::openDump(const std::string&) {
    error_ = "no adapter is open";
    return false;
}

int LiveCapture::pump(int) {
    error_ = "not recording";
    return -1;
}

void LiveCapture::close() {}

int LiveCapture::linkType() const { return -1; }

FrameSearchResult searchFrame(const std::string&, const FrameSearch&,
                              const std::function<bool(const std::uint8_t*, std::size_t)>&,
                              std::vector<std::uint8_t>*, std::string* error, bool* permissionDenied) {
    if (permissionDenied) *permissionDenied = false;
    if (error) *error = kNoLibrary;
    return FrameSearchResult::OpenFailed;
}
#endif

}  // namespace k740
