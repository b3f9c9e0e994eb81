// Live receiver thread: waits for datagrams on the data port, feeds them to the live frame
// assembly and emits finished frames and device information packets as values.
#include "acquisition/GetlidarData_1.h"

#include <vector>

namespace {
// Large enough for any UDP datagram, so an oversized one is seen whole and then dropped
// instead of being decoded from a truncated read.
constexpr std::size_t kReceiveBufferSize = 65536;
// Longest wait for readiness: a datagram is still taken at once, the run flag is seen
// promptly and an idle receiver costs almost nothing.
constexpr int kPollTimeoutMs = 20;
}  // namespace

GetlidarData_1::GetlidarData_1(QObject* parent) : QThread(parent) {
    k740::registerMetaTypes();
    m_Assembler = std::make_unique<k740::LiveFrameAssembler>(
        [this](LidarDataSingleLine&& frame) { handleFrame(std::move(frame)); });
}

GetlidarData_1::~GetlidarData_1() {
    m_Running = false;
    wait();
    m_Socket.close();
}

void GetlidarData_1::setupSocket() {
    // A previous receive loop may still be finishing its last wait: let it end before its
    // socket is replaced.
    if (isRunning()) wait(2000);
    m_CloseRequested = false;
    m_Socket.close();
    if (!m_Socket.open()) return;
    std::uint32_t group = 0;
    const std::string groupText = m_MulticastIp.trimmed().toStdString();
    if (k740::UdpSocket::parseIPv4(groupText, &group) && (group >> 28) == 0xE)
        m_Socket.joinMulticast(groupText, m_InterfaceIp.trimmed().toStdString());
    m_Socket.setNonBlocking(true);
    // Shares the port with the sensor address's own bind when a simulated sensor runs here.
    m_Socket.setReuseAddress(true);
    m_Socket.bind(m_Port.load());
}

void GetlidarData_1::closeSocket() {
    // The loop owns the socket while it runs; it closes it on its way out.
    if (isRunning())
        m_CloseRequested = true;
    else
        m_Socket.close();
}

std::uint16_t GetlidarData_1::boundPort() const { return m_Socket.localPort(); }

void GetlidarData_1::Receive(int ReturnModel) { m_ReturnMode = ReturnModel; }

void GetlidarData_1::frameConsumed() {
    int n = m_InFlight.load();
    while (n > 0 && !m_InFlight.compare_exchange_weak(n, n - 1)) {
    }
}

void GetlidarData_1::handleFrame(LidarDataSingleLine&& frame) {
    const int limit = m_MaxInFlight.load();
    if (limit > 0 && m_InFlight.load() >= limit) {
        ++m_FramesDropped;
        return;
    }
    ++m_InFlight;
    ++m_FramesEmitted;
    emit SendData(frame);
}

void GetlidarData_1::handleDevicePacket(const std::uint8_t* data) {
    m_Status = k740::decodeSettingData(data);
    std::vector<int> values = k740::decodeStatusValues(data);
    emit SendLidarStatusToSettingUI(m_Status, values);
    emit SendDataDifo(QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(k740::kDataPacketSize)));
}

void GetlidarData_1::run() {
    m_Assembler->reset();
    m_InFlight = 0;
    std::vector<std::uint8_t> buffer(kReceiveBufferSize);
    while (m_Running.load() && !m_CloseRequested.load()) {
        if (!m_Socket.isOpen()) {
            msleep(kPollTimeoutMs);
            continue;
        }
        if (m_Socket.waitReadable(kPollTimeoutMs) <= 0) continue;
        while (m_Running.load()) {
            const long n = m_Socket.receiveFrom(buffer.data(), buffer.size());
            if (n < 0) break;
            if (m_Paused.load()) continue;
            if (static_cast<std::size_t>(n) > k740::kDataPacketSize) continue;
            const k740::PacketKind kind = m_Assembler->addDatagram(
                buffer.data(), static_cast<std::size_t>(n), m_ReturnMode.load(), m_PendingProtocol.load());
            if (kind == k740::PacketKind::DeviceInfo) handleDevicePacket(buffer.data());
            m_Protocol.store(m_Assembler->protocol(), std::memory_order_relaxed);
        }
    }
    if (m_CloseRequested.exchange(false)) m_Socket.close();
}
