// Advanced settings rules: the two-byte conversion, the advanced packet on its captured
// template byte by byte, the refusals of values the packet cannot carry, what Refresh shows,
// the settings file, the default network packet and the frames a capture search accepts.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "device/advanced_config.h"
#include "platform/byte_order.h"
#include "sim/sim_config.h"

namespace {

std::uint16_t be16(const QByteArray& p, int at) {
    return k740::readBE16(reinterpret_cast<const std::uint8_t*>(p.constData()) + at);
}

// A captured packet whose every byte differs from its neighbours, so a byte the builder
// should keep but overwrites shows.
k740::CapturedDevicePacket capturedTemplate() {
    k740::CapturedDevicePacket c;
    for (std::size_t i = 0; i < c.payload.size(); ++i)
        c.payload[i] = static_cast<std::uint8_t>((i * 7 + 3) & 0xFF);
    c.sourceIp = {{127, 0, 0, 2}};
    c.destIp = {{127, 0, 0, 1}};
    c.sourcePort = 2369;
    return c;
}

k740::AdvancedForm validForm() {
    k740::AdvancedForm f;
    f.range = "150";
    f.tailThreshold = "12";
    f.tailDistance = "300";
    f.offsetAngle = "-1";
    f.zeroPosition = 1;
    f.echoMode = 1;
    f.rotateSpeed = " 10 HZ";
    return f;
}

}  // namespace

TEST(AdvancedConfig, TwoByteConversionWrapsNegativesAndZeroesWhatDoesNotFit) {
    struct Case {
        int v;
        std::uint8_t high, low;
    } cases[] = {{0, 0, 0},        {1, 0, 1},          {65535, 0xFF, 0xFF}, {65536, 0, 0},
                 {-1, 0xFF, 0xFF}, {-100, 0xFF, 0x9C}, {-65535, 0, 1},      {-65536, 0, 0},
                 {70000, 0, 0},    {15000, 0x3A, 0x98}};
    for (const Case& c : cases) {
        std::uint8_t low = 0x55, high = 0x55;
        k740::toTwoBytes(c.v, low, high);
        EXPECT_EQ(high, c.high) << c.v;
        EXPECT_EQ(low, c.low) << c.v;
    }
}

TEST(AdvancedConfig, PacketOverwritesOnlyItsFieldsOfTheTemplate) {
    const k740::CapturedDevicePacket t = capturedTemplate();
    k740::AdvancedForm form = validForm();
    form.highReflect = "250.9";
    form.calibrationAngle = "-1";
    const k740::AdvancedCheck check = k740::checkAdvancedForm(form);
    ASSERT_FALSE(check.refusal) << check.refusal->text.toStdString();
    EXPECT_FALSE(check.values.tailZero);
    const k740::LocalTime now{2026, 12, 8, 4, 5, 6};
    const QByteArray p = k740::buildAdvancedPacket(t, 7, check.values, now);
    ASSERT_EQ(p.size(), 1206);
    const auto* b = reinterpret_cast<const std::uint8_t*>(p.constData());

    std::set<int> written;
    auto expectBytes = [&](int at, std::initializer_list<int> bytes) {
        int i = at;
        for (int v : bytes) {
            EXPECT_EQ(b[i], v) << "byte " << i;
            written.insert(i++);
        }
    };
    expectBytes(0, {0xAA, 0x00, 0xFF, 0x11, 0x22, 0x22, 0xBB, 0xBB});
    expectBytes(8, {0x02, 0x58});                   // " 10 HZ": 600 rpm
    expectBytes(10, {127, 0, 0, 2, 127, 0, 0, 1});  // frame source, then destination
    expectBytes(40, {0, 2});                        // motor state 7 is sent as 2
    expectBytes(52, {26, 12, 8, 4, 5, 6});
    expectBytes(104, {0x00, 0xFA});  // 250.9 mm: the whole part
    expectBytes(160, {0x55, 0xAA, 0xAA, 0x55, 0x33, 0x33, 0x11, 0x11});
    expectBytes(178, {0x3A, 0x98, 0x00, 0x0C, 0x01, 0x2C, 1, 1});  // 150 m x 100, 12, 300 cm
    expectBytes(186, {0xFF, 0x9C});                                // -1.00 degrees
    expectBytes(194, {0xFF, 0x9B});  // -1.00 calibration: -100 + 65535
    expectBytes(1204, {0x0F, 0xF0});
    for (int i = 0; i < 1206; ++i) {
        if (!written.count(i)) {
            ASSERT_EQ(b[i], t.payload[i]) << "template byte " << i;
        }
    }

    // Empty high-reflect and calibration fields keep the sensor's own bytes; hundredths are
    // taken as typed (0.29 is 29, not 28); the speed list's last item and any other text
    // send 1200 rpm; motor states 0 and 1 pass.
    form.highReflect.clear();
    form.calibrationAngle.clear();
    form.offsetAngle = "0.29";
    form.rotateSpeed = " 20 HZ";
    const QByteArray q = k740::buildAdvancedPacket(t, 1, k740::checkAdvancedForm(form).values, now);
    EXPECT_EQ(be16(q, 104), k740::readBE16(t.payload.data() + 104));
    EXPECT_EQ(be16(q, 194), k740::readBE16(t.payload.data() + 194));
    EXPECT_EQ(be16(q, 186), 29);
    EXPECT_EQ(be16(q, 8), 1200);
    EXPECT_EQ(q[41], 1);
    form.rotateSpeed = "something else";
    form.offsetAngle = "1";
    EXPECT_EQ(k740::checkAdvancedForm(form).values.rpm, 1200);
    form.rotateSpeed = " 5 HZ";
    EXPECT_EQ(k740::checkAdvancedForm(form).values.rpm, 300);
}

TEST(AdvancedConfig, ValuesThePacketCannotCarryAreRefusedByField) {
    struct Case {
        const char* what;
        void (*change)(k740::AdvancedForm&);
        const char* mustName;
    } cases[] = {
        {"range not whole", [](k740::AdvancedForm& f) { f.range = "150.5"; }, "测量量程"},
        {"range x100 too big", [](k740::AdvancedForm& f) { f.range = "700"; }, "测量量程"},
        {"range negative", [](k740::AdvancedForm& f) { f.range = "-5"; }, "测量量程"},
        // Found by fuzzing: a range this large overflowed when scaled by 100.
        {"range beyond any integer x100", [](k740::AdvancedForm& f) { f.range = "333333333333333334"; },
         "测量量程"},
        {"tail threshold too big", [](k740::AdvancedForm& f) { f.tailThreshold = "65536"; },
         "消拖尾阈值"},
        {"tail distance text", [](k740::AdvancedForm& f) { f.tailDistance = "abc"; }, "消拖尾距离"},
        {"offset too big", [](k740::AdvancedForm& f) { f.offsetAngle = "327.68"; }, "水平偏移角度"},
        {"offset text", [](k740::AdvancedForm& f) { f.offsetAngle = "1,5"; }, "水平偏移角度"},
        {"calibration too small", [](k740::AdvancedForm& f) { f.calibrationAngle = "-400"; },
         "码盘零度校准"},
        {"high reflect too big", [](k740::AdvancedForm& f) { f.highReflect = "65536"; },
         "高反补偿值"},
        {"high reflect negative", [](k740::AdvancedForm& f) { f.highReflect = "-1"; },
         "高反补偿值"},
    };
    for (const Case& c : cases) {
        k740::AdvancedForm f = validForm();
        c.change(f);
        const k740::AdvancedCheck check = k740::checkAdvancedForm(f);
        ASSERT_TRUE(check.refusal) << c.what;
        EXPECT_EQ(check.refusal->title, "Warning") << c.what;
        EXPECT_TRUE(check.refusal->text.contains(QString::fromUtf8(c.mustName))) << c.what;
    }
    // The limits themselves pass.
    k740::AdvancedForm f = validForm();
    f.range = "655";
    f.offsetAngle = "-327.67";
    f.calibrationAngle = "327.67";
    f.highReflect = "65535";
    EXPECT_FALSE(k740::checkAdvancedForm(f).refusal);

    // Empty offset and range: the window's own texts; a zero tail value asks the operator.
    f = validForm();
    f.offsetAngle.clear();
    auto check = k740::checkAdvancedForm(f);
    ASSERT_TRUE(check.refusal);
    EXPECT_EQ(check.refusal->title, "error");
    EXPECT_EQ(check.refusal->text, QString::fromUtf8("请输入水平偏移角度!"));
    f = validForm();
    f.range.clear();
    check = k740::checkAdvancedForm(f);
    ASSERT_TRUE(check.refusal);
    EXPECT_EQ(check.refusal->text, QString::fromUtf8("请输入量程!"));
    f = validForm();
    f.tailDistance = "0";
    check = k740::checkAdvancedForm(f);
    EXPECT_FALSE(check.refusal);
    EXPECT_TRUE(check.values.tailZero);
    f.tailDistance.clear();
    EXPECT_TRUE(k740::checkAdvancedForm(f).values.tailZero);
}

TEST(AdvancedConfig, RefreshShowsWhatSetWrote) {
    k740::DevicePacketFields fields;
    fields.motorSpeed = 1203;
    fields.measuringRange = 15000;
    fields.tailThreshold = 12;
    fields.tailDistance = 300;
    fields.zeroAnglePosition = 1;
    fields.echoMode = 2;               // unknown: the list stays as it is
    fields.horizontalOffset = 0xFF9C;  // -1.00 as Set writes it
    fields.encoderZero = 0xFF9B;       // -1.00 as Set writes it
    fields.board2Version = {{3, 0x12}};
    fields.board3Version = {{20, 24, 5, 12, 1, 0x23}};
    k740::DevicePacket packet = k740::buildDevicePacket(fields);
    k740::writeBE16(packet.data() + 104, 480);
    const k740::AdvancedReadback r =
        k740::advancedReadback(k740::decodeSettingData(packet.data()),
                               k740::decodeStatusValues(packet.data()), packet.data());
    EXPECT_EQ(r.range, "150");
    EXPECT_EQ(r.tailThreshold, "12");
    EXPECT_EQ(r.tailDistance, "300");
    EXPECT_EQ(r.highReflect, "480");
    EXPECT_EQ(r.zeroPosition, 1);
    EXPECT_EQ(r.echoMode, -1);
    EXPECT_EQ(r.offsetAngle, "-1") << "two's complement read back by 65536, not 65535";
    EXPECT_EQ(r.calibrationAngle, "-1");
    EXPECT_EQ(r.board2Version, "V3.1.2");
    EXPECT_EQ(r.board3Version, "2024.5.12-V1.2.3");
    EXPECT_EQ(r.rotationIndex, 2);
    EXPECT_EQ(k740::hundredthsAsDegreesText(150), "1.5");
    EXPECT_EQ(k740::hundredthsAsDegreesText(-32767), "-327.67");
}

TEST(AdvancedConfig, SettingsFileAndDefaultNetworkPacket) {
    k740::DevicePacket packet{};
    const std::uint8_t head[4] = {0xA5, 0xFF, 0x00, 0x5A};
    std::memcpy(packet.data(), head, 4);
    packet[1205] = 0x0B;
    const QByteArray text = k740::settingsFileText(packet.data(), packet.size());
    EXPECT_EQ(text.size(), 3618);
    EXPECT_TRUE(text.startsWith("a5 ff 00 5a 00 "));
    EXPECT_TRUE(text.endsWith(" 0b "));
    EXPECT_FALSE(text.contains('\n'));

    const QByteArray d = k740::defaultNetworkPacket(k740::LocalTime{2030, 1, 2, 3, 4, 5});
    ASSERT_EQ(d.size(), 1206);
    const QByteArray head8("\xAA\x00\xFF\x11\x22\x22\xAA\xAA", 8);
    EXPECT_EQ(d.left(8), head8);
    EXPECT_EQ(be16(d, 8), 300);
    EXPECT_EQ(d.mid(10, 8), QByteArray("\xC0\xA8\x01\xDE\xC0\xA8\x01\x7D", 8));
    EXPECT_EQ(be16(d, 24), 2368);
    EXPECT_EQ(be16(d, 26), 2369);
    EXPECT_EQ(d.mid(52, 6), QByteArray("\x1E\x01\x02\x03\x04\x05", 6));
    EXPECT_EQ(d.mid(1204, 2), QByteArray("\x0F\xF0", 2));
    for (int i : {18, 23, 28, 51, 58, 1203}) EXPECT_EQ(d[i], 0) << i;

    // Restore's target: any port 1-65535 (40000 included), nothing else.
    auto t = k740::restoreTarget("127.0.0.9", "40000");
    EXPECT_FALSE(t.refusal);
    EXPECT_EQ(t.port, 40000);
    for (const char* port : {"0", "65536", "abc", ""})
        EXPECT_TRUE(k740::restoreTarget("127.0.0.9", port).refusal) << port;
    t = k740::restoreTarget("127.0.9", "2368");
    ASSERT_TRUE(t.refusal);
    EXPECT_TRUE(t.refusal->text.contains("Dest IP"));
}

TEST(AdvancedConfig, CaptureSearchAcceptsWholeDevicePacketFrames) {
    std::vector<std::uint8_t> frame(1248, 0);
    const std::uint8_t src[4] = {127, 0, 0, 2}, dst[4] = {127, 0, 0, 1};
    std::memcpy(frame.data() + 26, src, 4);
    std::memcpy(frame.data() + 30, dst, 4);
    k740::writeBE16(frame.data() + 34, 5555);
    frame[42] = 0xA5;
    frame[43] = 0xFF;
    frame[44] = 0x01;  // not the full header
    EXPECT_FALSE(k740::devicePacketFromFrame(frame.data(), frame.size(), true));
    auto c = k740::devicePacketFromFrame(frame.data(), frame.size(), false);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->sourcePort, 5555);
    EXPECT_EQ(k740::ipv4Text(c->sourceIp), "127.0.0.2");
    EXPECT_EQ(k740::ipv4Text(c->destIp), "127.0.0.1");
    frame[44] = 0x00;
    frame[45] = 0x5A;
    EXPECT_TRUE(k740::devicePacketFromFrame(frame.data(), frame.size(), true));
    EXPECT_FALSE(k740::devicePacketFromFrame(frame.data(), 1247, false));
    frame[42] = 0xFF;
    EXPECT_FALSE(k740::devicePacketFromFrame(frame.data(), frame.size(), false));
}

TEST(AdvancedConfig, TheSimulatedSensorObeysTheAdvancedPacket) {
    k740::AdvancedForm form = validForm();  // 150 m, 12, 300 cm, dual echo, -1 degree, 600 rpm
    form.calibrationAngle = "-0.5";
    const QByteArray p =
        k740::buildAdvancedPacket(capturedTemplate(), 1, k740::checkAdvancedForm(form).values,
                                  k740::LocalTime{2026, 1, 1, 0, 0, 0});
    k740::sim::SimState s;
    std::string why;
    ASSERT_TRUE(k740::sim::applyConfigPacket(
        s, reinterpret_cast<const std::uint8_t*>(p.constData()), p.size(), &why))
        << why;
    EXPECT_EQ(s.measuringRange, 15000);
    EXPECT_EQ(s.tailThreshold, 12);
    EXPECT_EQ(s.tailDistance, 300);
    EXPECT_EQ(s.zeroAnglePosition, 1);
    EXPECT_TRUE(s.dualReturn);
    EXPECT_EQ(s.horizontalOffset, -100);
    EXPECT_EQ(s.encoderZero, -50);
    EXPECT_EQ(s.rpm, 600);
    EXPECT_EQ(s.motorState, 1);

    QByteArray broken = p;
    broken[1205] = 0;  // no trailer
    k740::sim::SimState t;
    EXPECT_FALSE(k740::sim::applyConfigPacket(
        t, reinterpret_cast<const std::uint8_t*>(broken.constData()), broken.size(), &why));
    EXPECT_EQ(t.measuringRange, k740::sim::SimState{}.measuringRange) << "nothing applied";
}
