// Live receiver thread: feeds every datagram of the data port to the live frame assembly and
// emits finished frames and device information packets as values.
#include "acquisition/GetlidarData_1.h"

GetlidarData_1::GetlidarData_1(QObject* parent)
    : k740::UdpReceiver(2368, kReceiveBufferRequest, parent) {
    k740::registerMetaTypes();  // the frame record travels through SendData
    m_Assembler = std::make_unique<k740::LiveFrameAssembler>(
        [this](LidarDataSingleLine&& frame) { handleFrame(std::move(frame)); });
    m_GpsLog = std::make_unique<k740::GpsTestLog>(
        [this](const QString& stamp) { emit sendTimeStamp(stamp); },
        [this] { emit sendErrorCount(++m_ErrorCount); },
        [this](const QString& why) {
            m_GpsTestActive = false;
            emit gpsTestFailed(why);
        });
    setBlockObserver(m_GpsLog.get());
}

GetlidarData_1::~GetlidarData_1() { endLoopForDestruction(); }

void GetlidarData_1::Receive(int ReturnModel) { m_ReturnMode = ReturnModel; }

bool GetlidarData_1::startGpsTest(const QString& path, const QString& pathError, QString* why,
                                  int protocol) {
    m_GpsTestActive = false;
    if (!m_GpsLog->open(path, pathError, why, protocol)) return false;
    m_ErrorCount = 0;
    m_GpsTestActive = true;
    return true;
}

void GetlidarData_1::createTestFile(QString path, QString pathError) {
    QString why;
    if (!startGpsTest(path, pathError, &why)) emit gpsTestFailed(why);
}

void GetlidarData_1::stopCheckGPSTime() {
    m_GpsTestActive = false;
    m_GpsLog->close();
}

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

void GetlidarData_1::loopStarting() {
    m_Assembler->reset();
    m_InFlight = 0;
    // A session starts drawing: a pause left over from an earlier one must not blank it.
    m_Paused = false;
}

void GetlidarData_1::datagramArrived(const std::uint8_t* data, std::size_t length) {
    if (m_Paused.load()) return;  // drained and thrown away
    k740::BlockObserver* observer = m_GpsTestActive.load() ? m_BlockObserver.load() : nullptr;
    const k740::PacketKind kind = m_Assembler->addDatagram(data, length, m_ReturnMode.load(),
                                                           m_PendingProtocol.load(), observer);
    if (kind == k740::PacketKind::DeviceInfo) handOnDevicePacket(data);
    m_Protocol.store(m_Assembler->protocol(), std::memory_order_relaxed);
    m_FramesCapped.store(m_Assembler->framesCapped(), std::memory_order_relaxed);
}
