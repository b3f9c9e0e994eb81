// Live receiver: takes the sensor's data stream on the data port, assembles frames and
// emits each finished frame; device information packets arriving here are forwarded too.
// A thread shell over the receive engine (through k740::UdpReceiver): the engine assembles,
// this class bounds the frames in flight and emits them.
#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>

#include "acquisition/gps_stamp_log.h"
#include "acquisition/metatypes.h"
#include "device/udp_receiver.h"

class GetlidarData_1 : public k740::UdpReceiver {
    Q_OBJECT
public:
    explicit GetlidarData_1(QObject* parent = nullptr);
    ~GetlidarData_1() override;

    static constexpr int kReceiveBufferRequest = k740::kLiveStreamReceiveBuffer;

    std::atomic<int> m_ErrorCount{0};
    // The engine's controls under the names the window writes.
    std::atomic<bool>& m_GpsTestActive;
    std::atomic<bool>& m_Paused;
    std::atomic<int>& m_ReturnMode;
    std::atomic<int>& m_PendingProtocol;

    // Protocol in force for the frame under assembly.
    int protocol() const { return m_Engine.protocol(); }

    // Frames in flight to a slow consumer: at most this many are queued; newer frames are
    // dropped (and counted) until the consumer calls frameConsumed().
    void setMaxFramesInFlight(int n) { m_InFlight.setLimit(n); }
    int maxFramesInFlight() const { return m_InFlight.limit(); }
    void frameConsumed() { m_InFlight.release(); }
    int framesInFlight() const { return m_InFlight.inFlight(); }
    long long framesDropped() const { return m_InFlight.dropped(); }
    long long framesEmitted() const { return m_InFlight.sent(); }
    // Frames dropped because they reached the frame cap without an azimuth wrap.
    long long framesCapped() const { return m_Engine.framesCapped(); }

    // Called on the receiver thread for every block decoded in the strong-echo mode while
    // m_GpsTestActive is set (null = none). The observer must outlive the loop.
    void setBlockObserver(k740::BlockObserver* observer) { m_Engine.blockObserver.store(observer); }

    // The GPS time-stamp test's logs (the block observer installed at construction).
    k740::GpsStampLog& gpsTestLog() { return *m_GpsLog; }
    // Starts a GPS time-stamp test writing to the two logs from the next whole packet decoded
    // in `protocol` (any when -1); false, with *why naming the file, when either cannot be
    // opened (no test runs then).
    bool startGpsTest(const QString& path, const QString& pathError, QString* why,
                      int protocol = -1);

public slots:
    void Receive(int ReturnModel);
    // GPS time-stamp test: opens both logs and starts it / ends it and closes them.
    void createTestFile(QString path, QString pathError);
    void stopCheckGPSTime();

signals:
    void SendData(LidarDataSingleLine lidardata);
    void sendErrorCount(int count);
    void sendTimeStamp(QString stamp);
    // The GPS test could not start or has ended because a log could not be written.
    void gpsTestFailed(QString why);

protected:
    void loopStarting() override;
    void frame(LidarDataSingleLine&& frame) override;

private:
    std::unique_ptr<k740::GpsStampLog> m_GpsLog;
    k740::FramesInFlight m_InFlight;
};
