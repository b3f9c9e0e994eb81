// IPv4 UDP sockets for the receivers and the configuration senders: POSIX sockets on Linux,
// Winsock 2 on Windows.
#include "platform/udp_socket.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>
#endif

namespace k740 {

namespace {

constexpr std::intptr_t kNoSocket = -1;

#ifdef _WIN32
using NativeSocket = SOCKET;
// SIO_UDP_CONNRESET (mstcpip.h): whether ICMP "port unreachable" ends a receive with an error.
constexpr DWORD kUdpConnectionReset = IOC_IN | IOC_VENDOR | 12;

// The socket library (version 2.2) is started once for the life of the process; its result
// is kept, so that every later open() reports why sockets cannot be had.
int startSocketLibrary() {
    static const int result = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    return result;
}
int closeNative(NativeSocket s) { return closesocket(s); }
#else
using NativeSocket = int;
int startSocketLibrary() { return 0; }
int closeNative(NativeSocket s) { return ::close(s); }
#endif

NativeSocket native(std::intptr_t fd) { return static_cast<NativeSocket>(fd); }

sockaddr_in makeAddress(std::uint32_t hostOrderAddress, std::uint16_t port) {
    sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(hostOrderAddress);
    a.sin_port = htons(port);
    return a;
}

// Empty or unparsable text means "any".
std::uint32_t addressOrAny(const std::string& text) {
    std::uint32_t a = 0;
    if (text.empty() || !UdpSocket::parseIPv4(text, &a)) return INADDR_ANY;
    return a;
}

std::string addressText(const sockaddr_in& a) {
    const std::uint32_t v = ntohl(a.sin_addr.s_addr);
    return std::to_string(v >> 24) + '.' + std::to_string((v >> 16) & 0xFF) + '.' +
           std::to_string((v >> 8) & 0xFF) + '.' + std::to_string(v & 0xFF);
}

template <typename T>
bool setOption(std::intptr_t fd, int level, int name, const T& value) {
    return setsockopt(native(fd), level, name, reinterpret_cast<const char*>(&value),
                      static_cast<socklen_t>(sizeof value)) == 0;
}

}  // namespace

UdpSocket::UdpSocket() : fd_(kNoSocket) {}

bool UdpSocket::fail() {
#ifdef _WIN32
    error_ = WSAGetLastError();
#else
    error_ = errno;
#endif
    return false;
}

std::string UdpSocket::lastErrorText() const {
    if (error_ == 0) return std::string();
#ifdef _WIN32
    // The system's text for the WSA code (in the language of the system), and the code itself,
    // which is what a search for the failure needs.
    char text[256] = {0};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        static_cast<DWORD>(error_), 0, text, sizeof text, nullptr);
    std::string s(text, length);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.'))
        s.pop_back();
    const std::string code = "Winsock error " + std::to_string(error_);
    return s.empty() ? code : s + " (" + code + ")";
#else
    return std::strerror(error_);
#endif
}

bool UdpSocket::lastErrorWasAddressInUse() const {
#ifdef _WIN32
    return error_ == WSAEADDRINUSE;
#else
    return error_ == EADDRINUSE;
#endif
}

int UdpSocket::receiveBufferSize() const {
    if (!isOpen()) return 0;
    int value = 0;
    socklen_t len = sizeof value;
    if (getsockopt(native(fd_), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&value), &len) != 0)
        return 0;
    return value;
}

int UdpSocket::requestReceiveBuffer(int bytes) {
    if (!isOpen() || bytes <= 0) return receiveBufferSize();
    if (!setOption(fd_, SOL_SOCKET, SO_RCVBUF, bytes)) fail();
#ifdef __linux__
    // Linux reports double what it set aside; a smaller report means the request was capped.
    constexpr long kReportedFactor = 2;
    if (static_cast<long>(receiveBufferSize()) < kReportedFactor * bytes) {
        const int savedError = error_;
        if (!setOption(fd_, SOL_SOCKET, SO_RCVBUFFORCE, bytes))
            error_ = savedError;  // not allowed: keep what we got
    }
#endif
    return receiveBufferSize();
}

UdpSocket::~UdpSocket() { close(); }

bool UdpSocket::open() {
    close();
    error_ = startSocketLibrary();
    if (error_ != 0) return false;
#ifdef _WIN32
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) return fail();
    fd_ = static_cast<std::intptr_t>(s);
    // Windows ends the next receive with WSAECONNRESET when a datagram this socket sent met a
    // closed port (the ICMP answer); a receiver would take that for a failure, not for "no
    // datagram": such reports are switched off.
    BOOL report = FALSE;
    DWORD returned = 0;
    WSAIoctl(s, kUdpConnectionReset, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
#else
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (s < 0) return fail();
    fd_ = s;
#endif
    return true;
}

bool UdpSocket::isOpen() const { return fd_ != kNoSocket; }

bool UdpSocket::joinMulticast(const std::string& group, const std::string& interfaceAddress) {
    std::uint32_t g = 0;
    if (!isOpen() || !parseIPv4(group, &g)) return false;
    ip_mreq request;
    std::memset(&request, 0, sizeof request);
    request.imr_multiaddr.s_addr = htonl(g);
    request.imr_interface.s_addr = htonl(addressOrAny(interfaceAddress));
    return setOption(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, request) || fail();
}

bool UdpSocket::setNonBlocking(bool on) {
    if (!isOpen()) return false;
#ifdef _WIN32
    u_long mode = on ? 1 : 0;
    return ioctlsocket(native(fd_), FIONBIO, &mode) == 0 || fail();
#else
    const int flags = fcntl(native(fd_), F_GETFL, 0);
    if (flags < 0) return fail();
    return fcntl(native(fd_), F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) == 0 ||
           fail();
#endif
}

bool UdpSocket::setReuseAddress(bool on) {
    if (!isOpen()) return false;
    const int value = on ? 1 : 0;
    return setOption(fd_, SOL_SOCKET, SO_REUSEADDR, value);
}

bool UdpSocket::setMulticastInterface(const std::string& interfaceAddress) {
    if (!isOpen()) return false;
    in_addr a;
    a.s_addr = htonl(addressOrAny(interfaceAddress));
    return setOption(fd_, IPPROTO_IP, IP_MULTICAST_IF, a);
}

bool UdpSocket::setMulticastLoop(bool on) {
    if (!isOpen()) return false;
#ifdef _WIN32
    const DWORD value = on ? 1 : 0;
#else
    const unsigned char value = on ? 1 : 0;
#endif
    return setOption(fd_, IPPROTO_IP, IP_MULTICAST_LOOP, value);
}

bool UdpSocket::bind(std::uint16_t port, const std::string& address) {
    if (!isOpen()) return false;
    const sockaddr_in a = makeAddress(addressOrAny(address), port);
    return ::bind(native(fd_), reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0 || fail();
}

std::uint16_t UdpSocket::localPort() const {
    if (!isOpen()) return 0;
    sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    socklen_t len = sizeof a;
    if (getsockname(native(fd_), reinterpret_cast<sockaddr*>(&a), &len) != 0) return 0;
    return ntohs(a.sin_port);
}

int UdpSocket::waitReadable(int timeoutMs) {
    if (!isOpen()) return -1;
    if (timeoutMs < 0) timeoutMs = 0;
#ifdef _WIN32
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(native(fd_), &readable);
    timeval tv;
    tv.tv_sec = timeoutMs / 1000;
    tv.tv_usec = (timeoutMs % 1000) * 1000;
    const int r = ::select(0, &readable, nullptr, nullptr, &tv);
    if (r < 0) return -1;
    return r == 0 ? 0 : 1;
#else
    pollfd p;
    p.fd = native(fd_);
    p.events = POLLIN;
    p.revents = 0;
    int r;
    do {
        r = ::poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return -1;
    if (r == 0) return 0;
    if (p.revents & POLLNVAL) return -1;
    return 1;
#endif
}

long UdpSocket::receiveFrom(void* buffer, std::size_t capacity, std::string* senderAddress,
                            std::uint16_t* senderPort) {
    if (!isOpen()) return -1;
    sockaddr_in from;
    std::memset(&from, 0, sizeof from);
    socklen_t fromLen = sizeof from;
    long length;
#ifdef _WIN32
    // For datagram sockets FIONREAD gives the size of the next datagram; a datagram larger than
    // the buffer then fails with WSAEMSGSIZE, and this size is what the caller gets back.
    u_long pending = 0;
    ioctlsocket(native(fd_), FIONREAD, &pending);
    const int r = ::recvfrom(native(fd_), static_cast<char*>(buffer), static_cast<int>(capacity), 0,
                             reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (r == SOCKET_ERROR) {
        if (WSAGetLastError() != WSAEMSGSIZE) return -1;
        length = pending > capacity ? static_cast<long>(pending) : static_cast<long>(capacity) + 1;
    } else {
        length = r;
    }
#elif defined(__linux__)
    // MSG_TRUNC makes the kernel report the datagram's real length.
    ssize_t r;
    do {
        r = ::recvfrom(native(fd_), buffer, capacity, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from),
                       &fromLen);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return -1;
    length = static_cast<long>(r);
#else
    iovec iov{buffer, capacity};
    msghdr msg;
    std::memset(&msg, 0, sizeof msg);
    msg.msg_name = &from;
    msg.msg_namelen = fromLen;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    ssize_t r;
    do {
        r = ::recvmsg(native(fd_), &msg, 0);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return -1;
    length = (msg.msg_flags & MSG_TRUNC) ? static_cast<long>(capacity) + 1 : static_cast<long>(r);
#endif
    if (senderAddress) *senderAddress = addressText(from);
    if (senderPort) *senderPort = ntohs(from.sin_port);
    return length;
}

long UdpSocket::sendTo(const void* data, std::size_t length, const std::string& address,
                       std::uint16_t port) {
    std::uint32_t a = 0;
    if (!isOpen() || !parseIPv4(address, &a)) return -1;
    const sockaddr_in to = makeAddress(a, port);
#ifdef _WIN32
    const int r = ::sendto(native(fd_), static_cast<const char*>(data), static_cast<int>(length), 0,
                           reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return r == SOCKET_ERROR ? -1 : r;
#else
    ssize_t r;
    do {
        r = ::sendto(native(fd_), data, length, 0, reinterpret_cast<const sockaddr*>(&to),
                     sizeof to);
    } while (r < 0 && errno == EINTR);
    return static_cast<long>(r);
#endif
}

void UdpSocket::close() {
    if (!isOpen()) return;
    closeNative(native(fd_));
    fd_ = kNoSocket;
}

bool UdpSocket::parseIPv4(const std::string& text, std::uint32_t* hostOrder) {
    std::uint32_t result = 0;
    int parts = 0;
    std::size_t i = 0;
    while (parts < 4) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 3) {
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || value > 255) return false;
        result = (result << 8) | value;
        ++parts;
        if (parts < 4) {
            if (i >= text.size() || text[i] != '.') return false;
            ++i;
        }
    }
    if (i != text.size()) return false;
    if (hostOrder) *hostOrder = result;
    return true;
}

}  // namespace k740
