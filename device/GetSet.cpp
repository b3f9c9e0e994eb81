// Status receiver: waits on the device port, accepts only complete device information
// packets and hands each one on as values (record, status values, raw bytes).
#include "device/GetSet.h"

#include <array>

namespace {
// Longest wait for a datagram before the run flag is looked at again, ms.
constexpr int kWaitMs = 20;
}  // namespace

GetSet::GetSet(QObject* parent) : QThread(parent) { k740::registerMetaTypes(); }

GetSet::~GetSet() {
    m_Running = false;
    wait();
    m_Socket.close();
}

void GetSet::stopLoop() {
    if (!isRunning() || QThread::currentThread() == this) return;
    const bool running = m_Running.exchange(false);
    wait();
    m_Running = running;
}

void GetSet::setupSocket() {
    // The main window sets the run flag again before calling this; a loop left over from the
    // previous start (it exits within one wait) must not see the socket change under it.
    stopLoop();
    m_Socket.close();
    if (!m_Socket.open()) return;
    m_Socket.bind(m_Port.load());
    const std::string group = m_MulticastIp.trimmed().toStdString();
    std::uint32_t address = 0;
    if (k740::UdpSocket::parseIPv4(group, &address) && (address >> 28) == 0xE) {
        m_Socket.joinMulticast(group, m_InterfaceIp.trimmed().toStdString());
    }
    m_Socket.setNonBlocking(true);
}

void GetSet::closeSocket() {
    // Closing ends the connection: the loop stops first, so it never reads a closed (or
    // reused) descriptor.
    m_Running = false;
    stopLoop();
    m_Socket.close();
}

std::uint16_t GetSet::boundPort() const { return m_Socket.localPort(); }

void GetSet::run() {
    // One byte more than a packet is not needed: the socket reports a longer datagram's full
    // length, so it is seen as too long and dropped.
    std::array<std::uint8_t, k740::kDevicePacketSize> buffer{};
    while (m_Running.load()) {
        const int ready = m_Socket.waitReadable(kWaitMs);
        if (ready < 0) {
            // No socket (set-up failed or closed): idle without spinning.
            msleep(kWaitMs);
            continue;
        }
        if (ready == 0) continue;
        // Drain everything queued; the socket is non-blocking.
        while (m_Running.load()) {
            const long length = m_Socket.receiveFrom(buffer.data(), buffer.size());
            if (length < 0) break;
            if (!k740::isDevicePacket(buffer.data(), static_cast<std::size_t>(length))) {
                ++m_Dropped;  // wrong length (short, or longer than a packet) or wrong header
                continue;
            }
            accept(buffer.data());
        }
    }
}

void GetSet::accept(const std::uint8_t* packet) {
    // Fresh copies each time: what went out with earlier signals is never overwritten.
    m_LastPacket = QByteArray(reinterpret_cast<const char*>(packet),
                              static_cast<int>(k740::kDevicePacketSize));
    m_Status = k740::decodeSettingData(packet);
    ++m_Accepted;
    emit SendLidarStatusToSettingUI(m_Status, k740::decodeStatusValues(packet));
    emit SendDataDifo(m_LastPacket);
}
