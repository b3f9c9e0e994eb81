// The receiver threads' common shell: the window's fields to the engine's settings, the
// engine's loop on the thread, device information packets to the settings dialogs' signals.
#include "device/udp_receiver.h"

#include <QtGlobal>

namespace k740 {

UdpReceiver::UdpReceiver(ReceiveEngine::Role role, std::uint16_t defaultPort, int receiveBuffer,
                         QObject* parent)
    : QThread(parent),
      m_Running(m_Engine.running),
      m_Engine(role, this),
      m_RequestedReceiveBuffer(receiveBuffer) {
    registerDeviceMetaTypes();
    m_Port = defaultPort;
}

UdpReceiver::~UdpReceiver() {
    endLoopForDestruction();
    m_Engine.close();
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

bool UdpReceiver::setupSocket() {
    ReceiveSettings settings;
    settings.port = m_Port.load();
    settings.group = m_MulticastIp.trimmed().toStdString();
    // The window keeps one interface for its sessions; it matters only when a group is joined.
    if (!settings.group.empty()) settings.interfaceAddress = m_InterfaceIp.trimmed().toStdString();
    settings.receiveBuffer = m_RequestedReceiveBuffer;
    // A loop that has not yet ended keeps the socket: the engine refuses to replace it.
    stopLoop(kStopWaitMs);
    if (!m_Engine.open(settings)) return false;
    const int granted = m_Engine.receiveBufferBytes();
    if (m_ReportReceiveBuffer && m_RequestedReceiveBuffer > 0 && granted != m_LoggedReceiveBuffer) {
        m_LoggedReceiveBuffer = granted;
        qInfo("Port %u: receive buffer of %d bytes granted (%d asked for)",
              unsigned(m_Engine.boundPort()), granted, m_RequestedReceiveBuffer);
    }
    return true;
}

QString UdpReceiver::lastError() const { return QString::fromStdString(m_Engine.lastError()); }

void UdpReceiver::closeSocket() { m_Engine.close(); }

void UdpReceiver::devicePacket(const DevicePacket& packet) {
    // Fresh values each time: what went out with earlier signals is never overwritten.
    emit SendLidarStatusToSettingUI(decodeSettingData(packet.data()), decodeStatusValues(packet.data()));
    emit SendDataDifo(QByteArray(reinterpret_cast<const char*>(packet.data()),
                                 static_cast<int>(packet.size())));
}

void UdpReceiver::run() {
    loopStarting();
    m_Engine.run();
}

}  // namespace k740
