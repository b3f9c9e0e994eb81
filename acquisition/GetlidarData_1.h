// Live receiver: takes the sensor's data stream on the data port, assembles frames and
// emits each finished frame; device information packets arriving here are forwarded too.
#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "acquisition/frame_assembler.h"
#include "acquisition/metatypes.h"
#include "device/device_packet.h"
#include "platform/udp_socket.h"

class GetlidarData_1 : public QThread {
    Q_OBJECT
public:
    explicit GetlidarData_1(QObject* parent = nullptr);
    ~GetlidarData_1() override;

    // Creates the socket: join m_MulticastIp (interface m_InterfaceIp, empty = any) when it is
    // a group address, non-blocking, bind to any address on m_Port.
    void setupSocket();
    void closeSocket();

    std::atomic<int> m_ErrorCount{0};
    std::atomic<bool> m_GpsTestActive{false};
    std::atomic<bool> m_Paused{false};
    std::atomic<bool> m_Running{true};
    std::atomic<std::uint16_t> m_Port{2368};
    QString m_MulticastIp;
    QString m_InterfaceIp;
    std::atomic<int> m_ReturnMode{0};
    std::atomic<int> m_PendingProtocol{0};

    // Protocol in force for the frame under assembly.
    int protocol() const { return m_Protocol.load(); }
    std::uint16_t boundPort() const;

    // Frames in flight to a slow consumer: at most this many are queued; newer frames are
    // dropped (and counted) until the consumer calls frameConsumed().
    void setMaxFramesInFlight(int n) { m_MaxInFlight.store(n); }
    void frameConsumed();
    int framesInFlight() const { return m_InFlight.load(); }
    long long framesDropped() const { return m_FramesDropped.load(); }
    long long framesEmitted() const { return m_FramesEmitted.load(); }

public slots:
    void Receive(int ReturnModel);

signals:
    void SendData(LidarDataSingleLine lidardata);
    void SendLidarStatusToSettingUI(SettingData data, std::vector<int> Mac);
    void SendDataDifo(QByteArray packet);
    void sendErrorCount(int count);
    void sendTimeStamp(QString stamp);

protected:
    void run() override;

private:
    void handleFrame(LidarDataSingleLine&& frame);
    void handleDevicePacket(const std::uint8_t* data);

    k740::UdpSocket m_Socket;
    std::atomic<int> m_Protocol{0};
    std::atomic<bool> m_CloseRequested{false};
    SettingData m_Status{};
    std::unique_ptr<k740::LiveFrameAssembler> m_Assembler;
    std::atomic<int> m_MaxInFlight{0};  // 0 = unbounded
    std::atomic<int> m_InFlight{0};
    std::atomic<long long> m_FramesDropped{0};
    std::atomic<long long> m_FramesEmitted{0};
};
