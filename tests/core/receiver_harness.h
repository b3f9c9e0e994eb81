// A receiver thread on a free loopback port, a sender, and what its status signals carried.
// Shared by the live receiver and status receiver tests.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QObject>
#include <vector>

#include "device/device_packet.h"
#include "platform/udp_socket.h"
#include "qt_support.h"

namespace k740test {

template <typename Receiver>
class ReceiverHarness : public ::testing::Test {
protected:
    void SetUp() override {
        ensureCoreApp();
        ASSERT_TRUE(sender.open());
        QObject::connect(&rx, &Receiver::SendLidarStatusToSettingUI, &ctx,
                         [this](SettingData d, std::vector<int> v) {
                             statuses.push_back(d);
                             values.push_back(std::move(v));
                         });
        QObject::connect(&rx, &Receiver::SendDataDifo, &ctx,
                         [this](QByteArray b) { raw.push_back(b); });
    }
    void TearDown() override { stop(); }

    // Binds the given port (0 = any free one) and starts the loop.
    void start(std::uint16_t port = 0) {
        rx.m_Port = port;
        rx.m_Running = true;
        readBefore_ = rx.datagramsReceived();
        sent_ = 0;
        ASSERT_TRUE(rx.setupSocket()) << rx.lastError().toStdString();
        port_ = rx.boundPort();
        ASSERT_NE(port_, 0);
        rx.start();
    }
    void stop() {
        rx.m_Running = false;
        rx.closeSocket();
        rx.wait(3000);
    }
    void send(const void* data, std::size_t n) {
        ASSERT_EQ(sender.sendTo(data, n, "127.0.0.1", port_), static_cast<long>(n));
        ++sent_;
    }
    // Waits until the loop has read (and handled) everything sent so far.
    bool waitAllRead(int timeoutMs = 5000) {
        return waitUntil([this] { return rx.datagramsReceived() - readBefore_ >= sent_; },
                         timeoutMs);
    }
    // Sends the packets, never more than kBurst ahead of the loop, so that none is lost to a
    // full socket buffer however slowly the loop runs.
    template <typename Packets>
    void sendPaced(const Packets& packets) {
        constexpr int kBurst = 32;
        int i = 0;
        for (const auto& p : packets) {
            send(p.data(), p.size());
            if (++i % kBurst == 0) {
                ASSERT_TRUE(waitAllRead()) << "the loop stopped reading";
            }
        }
        ASSERT_TRUE(waitAllRead()) << "the loop stopped reading";
    }

    QObject ctx;
    Receiver rx;
    k740::UdpSocket sender;
    std::uint16_t port_ = 0;
    long long sent_ = 0;        // datagrams sent since the last start()
    long long readBefore_ = 0;  // the loop's count at that start
    std::vector<SettingData> statuses;
    std::vector<std::vector<int>> values;
    std::vector<QByteArray> raw;
};

}  // namespace k740test
