// Live receiver: takes the sensor's data stream on the data port, assembles frames and
// emits each finished frame; device information packets arriving here are forwarded too.
// The socket, the loop and the device-packet hand-off come from k740::UdpReceiver.
#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>

#include "acquisition/frame_assembler.h"
#include "acquisition/gps_test_log.h"
#include "acquisition/metatypes.h"
#include "device/udp_receiver.h"

class GetlidarData_1 : public k740::UdpReceiver {
    Q_OBJECT
public:
    explicit GetlidarData_1(QObject* parent = nullptr);
    ~GetlidarData_1() override;

    // Receive buffer asked for on the data port: a burst of the stream must not be lost
    // (the system default holds about 150 ms of it).
    static constexpr int kReceiveBufferRequest = 4 * 1024 * 1024;

    std::atomic<int> m_ErrorCount{0};
    std::atomic<bool> m_GpsTestActive{false};
    std::atomic<bool> m_Paused{false};
    std::atomic<int> m_ReturnMode{0};
    std::atomic<int> m_PendingProtocol{0};

    // Protocol in force for the frame under assembly.
    int protocol() const { return m_Protocol.load(); }

    // Frames in flight to a slow consumer: at most this many are queued; newer frames are
    // dropped (and counted) until the consumer calls frameConsumed().
    void setMaxFramesInFlight(int n) { m_MaxInFlight.store(n); }
    int maxFramesInFlight() const { return m_MaxInFlight.load(); }
    void frameConsumed();
    int framesInFlight() const { return m_InFlight.load(); }
    long long framesDropped() const { return m_FramesDropped.load(); }
    long long framesEmitted() const { return m_FramesEmitted.load(); }
    // Frames dropped because they reached the frame cap without an azimuth wrap.
    long long framesCapped() const { return m_FramesCapped.load(); }

    // Called on the receiver thread for every block decoded in the strong-echo mode while
    // m_GpsTestActive is set (null = none). The observer must outlive the loop.
    void setBlockObserver(k740::BlockObserver* observer) { m_BlockObserver.store(observer); }

    // The GPS time-stamp test's logs (the block observer installed at construction).
    k740::GpsTestLog& gpsTestLog() { return *m_GpsLog; }
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
    void datagramArrived(const std::uint8_t* data, std::size_t length) override;

private:
    void handleFrame(LidarDataSingleLine&& frame);

    std::atomic<int> m_Protocol{0};
    std::unique_ptr<k740::LiveFrameAssembler> m_Assembler;
    std::unique_ptr<k740::GpsTestLog> m_GpsLog;
    std::atomic<k740::BlockObserver*> m_BlockObserver{nullptr};
    std::atomic<int> m_MaxInFlight{0};  // 0 = unbounded
    std::atomic<int> m_InFlight{0};
    std::atomic<long long> m_FramesDropped{0};
    std::atomic<long long> m_FramesEmitted{0};
    std::atomic<long long> m_FramesCapped{0};
};
