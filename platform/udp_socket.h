// A small IPv4 UDP socket layer: POSIX sockets, Winsock under _WIN32.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace k740 {

class UdpSocket {
public:
    UdpSocket();
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Creates an IPv4 UDP socket (starting the socket library once where one is needed).
    bool open();
    bool isOpen() const;
    // Joins a multicast group; an empty or unparsable interface address means "any".
    bool joinMulticast(const std::string& group,
                       const std::string& interfaceAddress = std::string());
    bool setNonBlocking(bool on);
    bool setReuseAddress(bool on);
    // Outgoing multicast: interface and loopback of our own datagrams.
    bool setMulticastInterface(const std::string& interfaceAddress);
    bool setMulticastLoop(bool on);
    // Binds to the address (empty = any) and port (0 = any free port).
    bool bind(std::uint16_t port, const std::string& address = std::string());
    // Port actually bound, 0 when not bound.
    std::uint16_t localPort() const;
    // Waits until a datagram can be read: 1 readable, 0 timeout, -1 error or closed.
    int waitReadable(int timeoutMs);
    // Receives one datagram. Returns its full length, which may exceed capacity (then the
    // datagram was truncated and must not be decoded), 0 for an empty datagram, -1 when
    // nothing was available or on error.
    long receiveFrom(void* buffer, std::size_t capacity, std::string* senderAddress = nullptr,
                     std::uint16_t* senderPort = nullptr);
    long sendTo(const void* data, std::size_t length, const std::string& address,
                std::uint16_t port);
    void close();

    // Asks for a receive buffer of the given size and returns the size the system reports
    // (0 when closed). Linux caps the request at net.core.rmem_max and reports twice the size
    // it set aside (bookkeeping included); when the plain request is cut short, the forced
    // request (allowed with administrator rights) is tried, and quietly skipped when refused.
    int requestReceiveBuffer(int bytes);
    int receiveBufferSize() const;

    // System error text of the last call that failed on this socket (empty when none has
    // failed since open()).
    std::string lastErrorText() const;
    // The last failure was a bind to an address and port already taken.
    bool lastErrorWasAddressInUse() const;

    // Parses a dotted quad; returns false when it is not one.
    static bool parseIPv4(const std::string& text, std::uint32_t* hostOrder);

private:
    bool fail();  // records the system error code, returns false

    std::intptr_t fd_;
    int error_ = 0;
};

}  // namespace k740
