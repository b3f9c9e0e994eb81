// Vertical angles without a window: channel rows, typed numbers to exact hundredths, the
// angle packet byte by byte with its refusals, and the read-back rule.
#include <gtest/gtest.h>

#include <cstring>

#include "acquisition/packet_format.h"
#include "device/typed_number.h"
#include "device/vertical_angles.h"

using namespace k740;

namespace {

// A device packet of a sensor on loopback whose opaque bytes all differ from zero, so that
// every byte the angle packet must keep, clear or overwrite can be told apart.
DevicePacket angleTemplate() {
    DevicePacket p{};
    for (std::size_t i = 0; i < p.size(); ++i) p[i] = static_cast<std::uint8_t>(1 + i % 251);
    DevicePacketFields f;
    f.sensorIp = {{127, 0, 0, 2}};
    f.destIp = {{127, 0, 0, 1}};
    for (std::size_t i = 0; i < f.verticalAngles.size(); ++i) f.verticalAngles[i] = 0x77;
    return buildDevicePacket(f, p);
}

// Every channel at its nominal angle of the mode, as the window shows it after a mode change.
std::array<QString, kChannelCount> nominalTexts(int mode) {
    std::array<QString, kChannelCount> t;
    for (int c = 0; c < kChannelCount; ++c) t[c] = angleText(nominalAngle(mode, c));
    return t;
}

const std::uint8_t* bytesOf(const AnglePacket& a) {
    return reinterpret_cast<const std::uint8_t*>(a.bytes.constData());
}

int sentAngle(const AnglePacket& a, int channel) {
    return readBE16(bytesOf(a) + kDevVerticalAngles + 2 * channel);
}

}  // namespace

TEST(VerticalAngles, RowsRunFromTheLowestBeamAndNominalAnglesFollowTheMode) {
    EXPECT_EQ(rowOfChannel(1), 8);
    EXPECT_EQ(rowOfChannel(16), -1);
    for (int row = 1; row < kChannelCount; ++row) {
        EXPECT_EQ(rowOfChannel(channelOfRow(row)), row);
        EXPECT_LT(nominalAngle(0, channelOfRow(row - 1)), nominalAngle(0, channelOfRow(row)));
        EXPECT_LT(nominalAngle(1, channelOfRow(row - 1)), nominalAngle(1, channelOfRow(row)));
    }
    EXPECT_EQ(angleText(nominalAngle(1, 2)), "-8.665");
    EXPECT_EQ(nominalAngle(2, 15), 0.0);
}

TEST(TypedNumbers, HundredthsAreTakenFromTheDigitsAsTyped) {
    EXPECT_EQ(hundredthsAsTyped("0.29"), 29);  // 0.29f * 100 truncates to 28
    EXPECT_EQ(hundredthsAsTyped("2.35"), 235);
    EXPECT_EQ(hundredthsAsTyped("-1.00"), -100);
    EXPECT_EQ(hundredthsAsTyped("-0.509"), -50);  // further digits truncated toward zero
    EXPECT_EQ(hundredthsAsTyped("-0.001"), 0);
    EXPECT_EQ(hundredthsAsTyped(" +.5 "), 50);
    for (const char* bad :
         {"", " ", "-", ".", "1e2", "1,5", "1.2.3", "0x10", "abc", "--1", "1234567890"})
        EXPECT_FALSE(hundredthsAsTyped(bad)) << bad;
    EXPECT_FALSE(typedDecimal("1e2"));
}

TEST(VerticalAnglePacket, CarriesTheTypedAnglesOnTheTemplate) {
    const DevicePacket templ = angleTemplate();
    auto texts = nominalTexts(0);
    texts[14] = "-0.5";  // nominal -1
    texts[1] = "2.4";    // nominal 1: 1.4 off passes
    texts[3] = "4.5";    // nominal 3: exactly 1.5 off still passes
    texts[0] = "-15.29";
    const AnglePacket a = buildVerticalAnglePacket(templ, texts, 0);
    ASSERT_FALSE(a.refusal) << a.refusal->text.toStdString();
    ASSERT_EQ(a.bytes.size(), 1206);
    const std::uint8_t* p = bytesOf(a);

    const std::uint8_t header[] = {0xAA, 0x00, 0xFF, 0x11, 0x22, 0x22, 0xAA, 0xAA};
    EXPECT_EQ(0, std::memcmp(p, header, 8));
    EXPECT_EQ(0, std::memcmp(p + 8, templ.data() + 8, 152));
    EXPECT_EQ(0, std::memcmp(p + 160, kAngleMarker, 8));
    EXPECT_EQ(0, std::memcmp(p + 168, templ.data() + 168, 77));
    EXPECT_EQ(p[245 + 28], 0xFF);  // channel 14: -50 + 65535 = 65485
    EXPECT_EQ(p[245 + 29], 0xCD);
    EXPECT_EQ(sentAngle(a, 3), 450);
    EXPECT_EQ(sentAngle(a, 0), 65535 - 1529);
    for (int i = 277; i < 309; ++i) EXPECT_EQ(p[i], 0) << i;
    EXPECT_EQ(0, std::memcmp(p + 309, templ.data() + 309, 895));
    EXPECT_EQ(readBE16(p + 1204), 0x0FF0);
    EXPECT_EQ(a.sensorAddress, "127.0.0.2");

    // Mode 1 checks against its own nominal angles; other modes against 0.
    const AnglePacket b = buildVerticalAnglePacket(templ, nominalTexts(1), 1);
    EXPECT_EQ(sentAngle(b, 2), 65535 - 866);  // -8.665 truncated toward zero
    EXPECT_TRUE(buildVerticalAnglePacket(templ, nominalTexts(0), 1).refusal);
    auto flat = nominalTexts(7);
    flat[5] = "-1.5";
    EXPECT_FALSE(buildVerticalAnglePacket(templ, flat, 7).refusal);
    flat[5] = "1.6";
    EXPECT_TRUE(buildVerticalAnglePacket(templ, flat, 7).refusal);
}

TEST(VerticalAnglePacket, RefusalsNameTheRowAndBuildNothing) {
    const DevicePacket templ = angleTemplate();
    auto texts = nominalTexts(0);
    texts[1] = "2.6";  // channel 1, row 8: 1.6 off
    AnglePacket a = buildVerticalAnglePacket(templ, texts, 0);
    ASSERT_TRUE(a.refusal);
    EXPECT_EQ(a.refusal->text, "设置：通道8  偏差大于正负1.5，请重新输入");
    EXPECT_TRUE(a.bytes.isEmpty());

    // Channels are checked in order: channel 1 (row 8) before channel 2 (row 1).
    texts[2] = "-20";
    EXPECT_EQ(buildVerticalAnglePacket(templ, texts, 0).refusedRow, 8);

    // Text that is not a number is refused naming its row, never read as 0.
    for (const char* bad : {"", "abc", "1,5", "2..0"}) {
        auto t = nominalTexts(0);
        t[8] = bad;  // row 4
        a = buildVerticalAnglePacket(templ, t, 0);
        EXPECT_EQ(a.refusedRow, 4) << bad;
        EXPECT_TRUE(a.bytes.isEmpty());
    }
}

TEST(VerticalAngleReadBack, TheSixteenFieldsReadWithThe65535Rule) {
    DevicePacketFields f;
    const std::uint8_t raw[] = {0xFF, 0xCD, 0x00, 0xF0, 0x7F, 0xFF, 0x80, 0x00, 0xFF, 0xFF};
    std::memcpy(f.verticalAngles.data(), raw, sizeof raw);
    const DevicePacket p = buildDevicePacket(f);
    const auto angles = reportedAngles(decodeSettingData(p.data()));
    EXPECT_EQ(angles[0], -50);
    EXPECT_EQ(angles[1], 240);
    EXPECT_EQ(angles[2], 32767);
    EXPECT_EQ(angles[3], -32767);
    EXPECT_EQ(angles[4], 0);  // FF FF
    EXPECT_EQ(hundredthsText(angles[0]), "-0.50");
    EXPECT_EQ(hundredthsText(-5), "-0.05");
    // What is written reads back as written, for every angle a channel may take.
    for (int h = -1650; h <= 1650; ++h) ASSERT_EQ(angleFromField(angleField(h)), h) << h;
}
