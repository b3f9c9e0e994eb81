// The receiver threads' common part: socket set-up with reasons for failure, the receive
// loop (poll with a bounded wait, drain, hand each datagram to the derived class), the stop
// and the device information packet hand-off.
#include "device/udp_receiver.h"

#include <QtGlobal>
#include <string>

namespace k740 {

UdpReceiver::UdpReceiver(std::uint16_t defaultPort, int receiveBuffer, QObject* parent)
    : QThread(parent), m_RequestedReceiveBuffer(receiveBuffer) {
    registerDeviceMetaTypes();
    m_Port = defaultPort;
}

UdpReceiver::~UdpReceiver() {
    endLoopForDestruction();
    m_Socket.close();
}

void UdpReceiver::endLoopForDestruction() {
    m_Running = false;
    wait();
}

bool UdpReceiver::stopLoop(int waitMs) {
    if (!isRunning() || QThread::currentThread() == this) return !isRunning();
    const bool running = m_Running.exchange(false);
    const bool ended = wait(static_cast<unsigned long>(waitMs < 0 ? 0 : waitMs));
    m_Running = running;  // the caller's wish for the next start stays as it was
    return ended;
}

bool UdpReceiver::failSetup(const QString& reason) {
    m_Socket.close();
    m_ReceiveBufferBytes = 0;
    m_LastError = reason;
    return false;
}

namespace {

// True when another socket holds the port on every address or on the loopback address, so
// that a receiver bound here would share (and lose) the stream of another program, such as
// a second viewer. Probes bind without address reuse and are closed at once.
bool portHeldOnEveryAddress(std::uint16_t port) {
    if (port == 0) return false;
    UdpSocket any;
    if (!any.open()) return false;
    if (any.bind(port)) return false;
    if (!any.lastErrorWasAddressInUse()) return false;
    UdpSocket loopback;
    if (!loopback.open()) return false;
    return !loopback.bind(port, "127.0.0.1") && loopback.lastErrorWasAddressInUse();
}

}  // namespace

bool UdpReceiver::setupSocket() {
    if (!stopLoop(kStopWaitMs)) {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_LastError =
            QStringLiteral("The previous receive loop on port %1 has not ended").arg(m_Port.load());
        return false;
    }
    std::lock_guard<std::mutex> lock(m_Lock);
    m_CloseRequested = false;
    m_Socket.close();
    m_LastError.clear();
    const std::uint16_t port = m_Port.load();
    const auto reason = [this] { return QString::fromStdString(m_Socket.lastErrorText()); };

    if (!m_Socket.open())
        return failSetup(QStringLiteral("Cannot open a UDP socket: %1").arg(reason()));

    m_ReceiveBufferBytes = m_RequestedReceiveBuffer > 0
                               ? m_Socket.requestReceiveBuffer(m_RequestedReceiveBuffer)
                               : m_Socket.receiveBufferSize();

    // Bind first, then join: the order every platform accepts.
    if (portHeldOnEveryAddress(port))
        return failSetup(QStringLiteral("Port %1 is in use").arg(port));
    // The port is shared only with a socket bound to one other address (a simulated sensor
    // on 127.0.0.2 answering configuration packets on this port): that socket keeps what is
    // sent to its address, this one receives the rest.
    m_Socket.setReuseAddress(true);
    if (!m_Socket.bind(port)) {
        if (m_Socket.lastErrorWasAddressInUse())
            return failSetup(QStringLiteral("Port %1 is in use").arg(port));
        return failSetup(QStringLiteral("Cannot bind port %1: %2").arg(port).arg(reason()));
    }
    const QString groupText = m_MulticastIp.trimmed();
    std::uint32_t group = 0;
    if (UdpSocket::parseIPv4(groupText.toStdString(), &group) && (group >> 28) == 0xE) {
        const QString interfaceText = m_InterfaceIp.trimmed();
        if (!m_Socket.joinMulticast(groupText.toStdString(), interfaceText.toStdString())) {
            return failSetup(
                QStringLiteral("Cannot join multicast group %1 on %2: %3")
                    .arg(groupText,
                         interfaceText.isEmpty() ? QStringLiteral("any interface") : interfaceText,
                         reason()));
        }
    }
    if (!m_Socket.setNonBlocking(true))
        return failSetup(QStringLiteral("Cannot make the socket on port %1 non-blocking: %2")
                             .arg(port)
                             .arg(reason()));

    const int granted = m_ReceiveBufferBytes.load();
    if (m_ReportReceiveBuffer && m_RequestedReceiveBuffer > 0 && granted != m_LoggedReceiveBuffer) {
        m_LoggedReceiveBuffer = granted;
        qInfo("Port %u: receive buffer of %d bytes granted (%d asked for)",
              unsigned(m_Socket.localPort()), granted, m_RequestedReceiveBuffer);
    }
    return true;
}

QString UdpReceiver::lastError() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_LastError;
}

void UdpReceiver::closeSocket() {
    std::lock_guard<std::mutex> lock(m_Lock);
    if (m_LoopActive)
        m_CloseRequested = true;  // the loop owns the socket while it runs
    else
        m_Socket.close();
}

std::uint16_t UdpReceiver::boundPort() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Socket.localPort();
}

void UdpReceiver::handOnDevicePacket(const std::uint8_t* packet) {
    // Fresh values each time: what went out with earlier signals is never overwritten.
    m_Status = decodeSettingData(packet);
    emit SendLidarStatusToSettingUI(m_Status, decodeStatusValues(packet));
    emit SendDataDifo(
        QByteArray(reinterpret_cast<const char*>(packet), static_cast<int>(kDevicePacketSize)));
}

void UdpReceiver::run() {
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_LoopActive = true;
    }
    loopStarting();
    std::vector<std::uint8_t> buffer(kDatagramCapacity);
    const auto keepGoing = [this] { return m_Running.load() && !m_CloseRequested.load(); };
    while (keepGoing()) {
        const int ready = m_Socket.waitReadable(kWaitMs);
        if (ready < 0) {
            msleep(kWaitMs);  // no socket (set-up failed or closed): idle without spinning
            continue;
        }
        if (ready == 0) continue;
        // Drain everything queued; the socket is non-blocking.
        while (keepGoing()) {
            const long length = m_Socket.receiveFrom(buffer.data(), buffer.size());
            if (length < 0) break;
            if (static_cast<std::size_t>(length) > buffer.size())
                oversizedDatagram();
            else
                datagramArrived(buffer.data(), static_cast<std::size_t>(length));
            ++m_DatagramsReceived;  // counted once handled, so a waiting test sees the result
        }
    }
    std::lock_guard<std::mutex> lock(m_Lock);
    m_LoopActive = false;
    if (m_CloseRequested.exchange(false)) m_Socket.close();
}

}  // namespace k740
