// The device information packet: recognition, the record and status values, the network
// blocks of both sensor generations and the packet writer.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "device/device_packet.h"
#include "device_fields.h"

using namespace k740;

using k740test::distinctFields;

TEST(DevicePacket, RecognisedOnlyWithExactLengthAndHeader) {
    const DevicePacket p = buildDevicePacket(DevicePacketFields{});
    EXPECT_TRUE(isDevicePacket(p.data(), p.size()));
    EXPECT_FALSE(isDevicePacket(p.data(), 1205));
    EXPECT_FALSE(isDevicePacket(p.data(), 1207));
    EXPECT_FALSE(isDevicePacket(p.data(), 0));
    for (std::size_t i = 0; i < kDeviceHeaderSize; ++i) {
        DevicePacket bad = p;
        bad[i] ^= 0x01;
        EXPECT_FALSE(isDevicePacket(bad.data(), bad.size())) << "header byte " << i;
    }
    // A data packet has the same length but other leading bytes.
    DevicePacket data{};
    data[0] = 0xFF;
    data[1] = 0xEE;
    EXPECT_FALSE(isDevicePacket(data.data(), data.size()));
}

TEST(DevicePacket, RecordTakesEveryFieldFromItsOffset) {
    const DevicePacket p = buildDevicePacket(distinctFields());
    const SettingData d = decodeSettingData(p.data());

    // The consumers copy and index the record as a block; these positions are fixed.
    EXPECT_EQ(offsetof(SettingData, motorSpeed), 6u);
    EXPECT_EQ(offsetof(SettingData, reserved168), 54u);
    EXPECT_EQ(offsetof(SettingData, board2Version), 64u);
    EXPECT_EQ(offsetof(SettingData, board3Version), 66u);
    EXPECT_EQ(offsetof(SettingData, versionPairs), 139u);

    const std::uint8_t destIp[4] = {10, 4, 5, 6};
    EXPECT_EQ(std::memcmp(d.destIp, destIp, 4), 0);
    EXPECT_EQ(d.dataPortBytes[0], 3001 >> 8);
    EXPECT_EQ(d.dataPortBytes[1], 3001 & 0xFF);
    EXPECT_EQ(int(d.motorSpeed), 1200);
    EXPECT_EQ(int(d.motorState), 2);
    const std::uint8_t gps[6] = {24, 5, 12, 3, 4, 5};
    EXPECT_EQ(std::memcmp(d.gpsTime, gps, 6), 0);
    EXPECT_EQ(int(d.packetInterval), 513);
    EXPECT_EQ(d.ppsSetAngle[0], 12345 >> 8);
    EXPECT_EQ(d.ppsSetAngle[1], 12345 & 0xFF);
    EXPECT_EQ(d.ppsDeviation[0], 0x80);
    EXPECT_EQ(d.ppsDeviation[1], 0x00);
    EXPECT_EQ(std::memcmp(d.latitude, "3114.5678N", 10), 0);
    EXPECT_EQ(d.latitudeHemisphere, 'N');
    EXPECT_EQ(std::memcmp(d.longitude, "12128.1234", 10), 0);
    EXPECT_EQ(d.longitudeHemisphere, 'E');
    EXPECT_EQ(d.boardTemperature[1], 75);
    EXPECT_EQ(d.lvdsState[0], 1);
    EXPECT_EQ(d.lvdsState[1], 1);
    EXPECT_EQ(d.reserved168, 0xC0);
    EXPECT_EQ(d.reserved169, 0xC1);
    EXPECT_EQ(d.reserved170[0], 0xC2);
    EXPECT_EQ(d.reserved170[3], 0xC5);
    EXPECT_EQ(d.reserved174[0], 0xC6);
    EXPECT_EQ(d.reserved174[3], 0xC9);
    EXPECT_EQ(d.board2Version[0], 3);
    EXPECT_EQ(d.board2Version[1], 0x12);
    const std::uint8_t b3[6] = {20, 24, 5, 12, 1, 0x23};
    EXPECT_EQ(std::memcmp(d.board3Version, b3, 6), 0);
    EXPECT_EQ(d.verticalAngles[0], 0x80);
    EXPECT_EQ(d.verticalAngles[31], 0x80 + 31);
    EXPECT_EQ(d.gpsState, 1);
    EXPECT_EQ(d.ppsState, 2);
    EXPECT_EQ(d.highTempPause, 3);
    EXPECT_EQ(d.stopTemperature[0], 1000 >> 8);
    EXPECT_EQ(d.stopTemperature[1], 1000 & 0xFF);
    EXPECT_EQ(d.board3Values[9], 99);
    EXPECT_EQ(std::memcmp(d.serialText, "K740P-2024-0001\0\0\0\0\0", 20), 0);
    EXPECT_EQ(d.versionPairs[0][0], 1);
    EXPECT_EQ(d.versionPairs[4][1], 10);
}

TEST(DevicePacket, NineteenStatusValuesInTheirOrder) {
    const DevicePacket p = buildDevicePacket(distinctFields());
    const std::vector<int> expected = {0x0A,   0x1B,   0x2C,   0xD3,   0xE4,   0xF5, 0x8000,
                                       3001,   3002,   20000,  0x0A0B, 0x0C0D, 1,    1,
                                       0xFF38, 0x1234, 0x0102, 0x0304, 0x55};
    EXPECT_EQ(decodeStatusValues(p.data()), expected);
}

TEST(DevicePacket, NetworkBlocksOfBothGenerations) {
    DevicePacket p = buildDevicePacket(distinctFields());
    EXPECT_FALSE(isEarlierGeneration(p.data()));

    const DeviceNetworkFields n = decodeNetworkFields(p.data());
    EXPECT_EQ(ipv4Text(n.sensorIp), "10.1.2.3");
    EXPECT_EQ(ipv4Text(n.destIp), "10.4.5.6");
    EXPECT_EQ(ipv4Text(n.ntpIp), "10.7.8.9");
    EXPECT_EQ(ipv4Text(n.gateway), "10.0.0.1");
    EXPECT_EQ(ipv4Text(n.subnetMask), "255.255.0.0");
    EXPECT_EQ(n.dataPort, 3001);
    EXPECT_EQ(n.devicePort, 3002);
    EXPECT_EQ(n.mac[5], 0xF5);
    EXPECT_EQ(n.motorSpeed, 1200);
    EXPECT_EQ(n.motorState, 2);
    EXPECT_EQ(n.packetInterval, 513);
    EXPECT_EQ(n.sensorStatus, 1);

    // Earlier generation: byte 1202 is 3; the record still follows the main layout.
    p[1202] = 3;
    p[8] = 192, p[9] = 168, p[10] = 1, p[11] = 200;  // sensor IP
    p[12] = 0x09, p[13] = 0x40;                      // data port 2368
    p[18] = 0x09, p[19] = 0x41;                      // device port 2369
    p[20] = 0x01, p[21] = 0x2C;                      // motor speed 300
    EXPECT_TRUE(isEarlierGeneration(p.data()));
    const SettingData d = decodeSettingData(p.data());
    EXPECT_TRUE(isEarlierGeneration(d));
    EXPECT_EQ(int(d.motorSpeed), (192 << 8) | 168);
    const EarlierNetworkFields e = decodeEarlierNetworkFields(p.data());
    EXPECT_EQ(ipv4Text(e.sensorIp), "192.168.1.200");
    EXPECT_EQ(ipv4Text(e.destIp), "10.4.5.6");
    EXPECT_EQ(e.dataPort, 2368);
    EXPECT_EQ(e.devicePort, 2369);
    EXPECT_EQ(e.motorSpeed, 300);
}

TEST(DevicePacket, WriterKeepsTheBytesOfItsBasePacket) {
    DevicePacket base{};
    for (std::size_t i = 0; i < base.size(); ++i) base[i] = static_cast<std::uint8_t>(i * 7 + 1);
    const DevicePacket p = buildDevicePacket(distinctFields(), base);
    EXPECT_TRUE(isDevicePacket(p.data(), p.size()));
    // Bytes that no field covers: 46-47, 104-167, 188-193, 196-244, 277-1163, 1194-1195, 1204-1205.
    for (std::size_t i : {46u, 47u, 104u, 167u, 188u, 193u, 196u, 244u, 277u, 700u, 1163u, 1194u,
                          1195u, 1204u, 1205u})
        EXPECT_EQ(p[i], base[i]) << "byte " << i;
    const DevicePacket fresh = buildDevicePacket(distinctFields());
    EXPECT_EQ(fresh[700], 0);
    EXPECT_EQ(decodeStatusValues(p.data()), decodeStatusValues(fresh.data()));
}
