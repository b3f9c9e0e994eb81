// Live receiver thread: the receive engine's live assembly on the data port; finished frames
// and device information packets leave as values through queued signals.
#include "acquisition/GetlidarData_1.h"

GetlidarData_1::GetlidarData_1(QObject* parent)
    : k740::UdpReceiver(k740::ReceiveEngine::Role::LiveStream, 2368, kReceiveBufferRequest, parent),
      m_GpsTestActive(m_Engine.observing),
      m_Paused(m_Engine.paused),
      m_ReturnMode(m_Engine.returnMode),
      m_PendingProtocol(m_Engine.pendingProtocol) {
    k740::registerMetaTypes();  // the frame record travels through SendData
    m_GpsLog = std::make_unique<k740::GpsStampLog>(
        [this](const std::string& stamp) { emit sendTimeStamp(QString::fromStdString(stamp)); },
        [this] { emit sendErrorCount(++m_ErrorCount); },
        [this](const std::string& why) {
            m_GpsTestActive = false;
            emit gpsTestFailed(QString::fromStdString(why));
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

void GetlidarData_1::frame(LidarDataSingleLine&& frame) {
    if (m_InFlight.take()) emit SendData(frame);
}

void GetlidarData_1::loopStarting() {
    m_InFlight.clear();
    // A session starts drawing: a pause left over from an earlier one must not blank it.
    m_Paused = false;
}
