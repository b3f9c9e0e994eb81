// The texts the settings dialogs show for device information packet values: speed, time,
// PPS angles, temperatures, versions, MAC, serial and position.
#include <gtest/gtest.h>

#include <vector>

#include "device/device_packet.h"
#include "device/device_texts.h"
#include "device_fields.h"

using namespace k740;

TEST(DeviceTexts, SpeedTimeAnglesAndTemperatures) {
    EXPECT_EQ(motorSpeedText(0), "0");
    EXPECT_EQ(motorSpeedText(100), "0");
    EXPECT_EQ(motorSpeedText(101), "101");
    EXPECT_EQ(motorSpeedText(600), "600");

    const std::uint8_t t[6] = {24, 5, 12, 3, 4, 5};
    EXPECT_EQ(gpsTimeText(t), "2024/5/12 3:4:5");
    const std::uint8_t t2[6] = {0, 12, 31, 23, 59, 59};
    EXPECT_EQ(gpsTimeText(t2), "2000/12/31 23:59:59");

    const std::uint8_t a1[2] = {0x30, 0x39};  // 12345
    EXPECT_EQ(ppsSetAngleText(a1), "123.45");
    const std::uint8_t a2[2] = {0x00, 0x05};
    EXPECT_EQ(ppsSetAngleText(a2), "0.05");

    // PPS deviation: subtract 65535, not 65536.
    EXPECT_EQ(signedPpsDeviation(0xFFFF), 0);
    EXPECT_EQ(signedPpsDeviation(0x8000), -32767);
    EXPECT_EQ(signedPpsDeviation(0x7FFF), -32768);
    EXPECT_EQ(signedPpsDeviation(0x7FFE), 32766);
    EXPECT_EQ(signedPpsDeviation(0xFFFE), -1);
    EXPECT_EQ(ppsDeviationText(0xFFFF), "0");
    EXPECT_EQ(ppsDeviationText(0x8000), "-327.67");
    EXPECT_EQ(ppsDeviationText(0x7FFF), "-327.68");
    EXPECT_EQ(ppsDeviationText(150), "1.5");
    EXPECT_DOUBLE_EQ(ppsDeviationDegrees(0x8000), -327.67);

    const std::uint8_t warm[2] = {0x00, 75};
    EXPECT_EQ(boardTemperatureText(warm), "25.00");
    const std::uint8_t cold[2] = {0x00, 0x00};
    EXPECT_EQ(boardTemperatureText(cold), "-50.00");
    const std::uint8_t wrap[2] = {0xFF, 0xFF};  // 65485 as signed 16-bit
    EXPECT_EQ(boardTemperatureText(wrap), "-51.00");

    const std::uint8_t stop0[2] = {0, 0};
    EXPECT_EQ(stopTemperatureText(stop0), "0.00");
    const std::uint8_t stop1[2] = {0x03, 0xE8};  // 1000 / 4096 * 330 - 50 = 30.566...
    EXPECT_EQ(stopTemperatureText(stop1), "30.57");
    const std::uint8_t stop2[2] = {0x00, 0x01};
    EXPECT_EQ(stopTemperatureText(stop2), "-49.92");
}

TEST(DeviceTexts, VersionsMacSerialAndPosition) {
    const std::uint8_t b2[2] = {3, 0x12};
    EXPECT_EQ(board2VersionText(b2), "V3.1.2");
    const std::uint8_t b2b[2] = {10, 0xF0};
    EXPECT_EQ(board2VersionText(b2b), "V10.15.0");

    const std::uint8_t b3[6] = {20, 24, 5, 12, 1, 0x23};
    EXPECT_EQ(board3VersionText(b3), "2024.5.12-V.1.2.3");
    EXPECT_EQ(board3VersionTextCompact(b3), "2024.5.12-V1.2.3");
    const std::uint8_t b3b[6] = {20, 5, 10, 1, 3, 0x0F};
    EXPECT_EQ(board3VersionText(b3b), "205.10.1-V.3.0.15");

    EXPECT_EQ(versionPairText(1, 10), "V1.10");
    EXPECT_EQ(versionPairText(0, 0), "V0.0");

    EXPECT_EQ(macText(std::vector<int>{0x0A, 0x1B, 0x2C, 0xD3, 0xE4, 0xF5}), "0a-1b-2c-d3-e4-f5");
    const std::uint8_t mac[6] = {0x60, 0x76, 0x88, 0x00, 0x00, 0x01};
    EXPECT_EQ(macText(mac), "60-76-88-00-00-01");

    const DevicePacket p = buildDevicePacket(k740test::distinctFields());
    const SettingData d = decodeSettingData(p.data());
    const std::string serial = serialText(d);
    EXPECT_EQ(serial.size(), 20u);
    EXPECT_EQ(serial.rfind("K740P-2024-0001", 0), 0u);
    EXPECT_EQ(serial.at(19), '\0');
    // Bytes above 127 are Latin-1 characters: each becomes its two-byte UTF-8 form.
    SettingData latin1 = d;
    latin1.serialText[0] = '\xE9';
    latin1.serialText[1] = '\xFF';
    EXPECT_EQ(serialText(latin1).substr(0, 5), "\u00e9\u00ff4");
    EXPECT_EQ(positionText("3114.5678\xB0", 'N'), "3114.5678\u00b0N");
    EXPECT_EQ(positionText(d.latitude, d.latitudeHemisphere), "3114.5678NN");
    EXPECT_EQ(positionText(d.longitude, d.longitudeHemisphere), "12128.1234E");
    EXPECT_EQ(board3ValuesText(d), "0112233445566778899");
}
