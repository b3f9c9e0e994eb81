// Network settings without a window: both configuration packets byte by byte with their
// fallbacks, the refusals, the mask/gateway/first-octet checks, focus auto-fill, the About
// texts, and the simulated sensor applying what a configuration packet carries.
#include <gtest/gtest.h>

#include <cstring>

#include "acquisition/packet_format.h"
#include "device/about_texts.h"
#include "device/network_config.h"
#include "device_fields.h"
#include "sim/sim_config.h"
#include "sim/sim_engine.h"

using namespace k740;

namespace {

const LocalTime kNow{2026, 12, 8, 14, 5, 9};

DevicePacket newerDevice() {
    DevicePacketFields f = k740test::distinctFields();
    f.motorSpeed = 600;
    f.sensorIp = {{127, 0, 0, 2}};
    f.destIp = {{127, 0, 0, 1}};
    f.ppsSetAngle = 4500;
    DevicePacket p = buildDevicePacket(f);
    p[1000] = 0x5C;  // an opaque byte the configuration packet must carry over
    return p;
}

DevicePacket earlierDevice() {
    DevicePacket p = newerDevice();
    const std::uint8_t block[] = {127, 0, 0, 3, 0x0B, 0xB9, 127, 0, 0, 1, 0x0B, 0xBA, 0x04, 0xB0};
    std::memcpy(p.data() + kDevOldSensorIp, block, sizeof block);  // 8..21
    p[kDevGenerationByte] = kEarlierGenerationMark;
    return p;
}

NetworkForm fullForm() {
    NetworkForm f;
    f.sensorIp = "127.0.0.5";
    f.dataPort = "4001";
    f.destIp = "127.0.0.6";
    f.devicePort = "4002";
    f.subnetMask = "255.255.255.0";
    f.gateway = "127.0.0.254";
    f.mac = "60-76-88-1a-2b-3c";
    f.packetInterval = "1";
    f.ntpIp = "127.0.0.7";
    f.ppsAngle = "45";
    f.rotateSpeed = " 20 HZ";
    f.motorState = "Stop";
    f.lidarStatus = 1;
    f.localTime = true;
    return f;
}

const std::uint8_t* bytesOf(const ConfigPacket& c) {
    return reinterpret_cast<const std::uint8_t*>(c.bytes.constData());
}

}  // namespace

TEST(ConfigPacket, NewerGenerationCarriesEveryFieldOfTheForm) {
    DevicePacket device = newerDevice();
    const ConfigPacket c = buildConfigPacket(device, true, fullForm(), kNow);
    ASSERT_FALSE(c.refusal);
    ASSERT_EQ(c.bytes.size(), 1206);
    const std::uint8_t* p = bytesOf(c);
    const std::uint8_t head[] = {
        0xAA, 0x00, 0xFF, 0x11, 0x22, 0x22, 0xAA, 0xAA, 0x04, 0xB0,  // 1200 rpm
        127,  0,    0,    5,    127,  0,    0,    6,    0x60, 0x76, 0x88, 0x1A, 0x2B, 0x3C,
        0x0F, 0xA1, 0x0F, 0xA2,  // ports 4001, 4002
        127,  0,    0,    7,    127,  0,    0,    254,  255,  255,  255,  0,    0x00, 0x01,  // Stop
        0x00, 0x01,   // interval 1
        0x00, 0x01};  // Sleep
    EXPECT_EQ(0, std::memcmp(p, head, sizeof head));
    EXPECT_EQ(readBE16(p + 48), 4500);  // 45 degrees in hundredths
    const std::uint8_t time[] = {26, 12, 8, 14, 5, 9};
    EXPECT_EQ(0, std::memcmp(p + 52, time, 6));
    EXPECT_EQ(p[1204], 0x0F);
    EXPECT_EQ(p[1205], 0xF0);
    EXPECT_EQ(p[1000], 0x5C);  // opaque bytes as in the device packet
    EXPECT_EQ(p[1202], device[1202]);
    EXPECT_EQ(c.sensorAddress, "127.0.0.2");  // the sensor's current address, not the new one
}

TEST(ConfigPacket, NewerGenerationFallsBackFieldByField) {
    DevicePacket device = newerDevice();
    NetworkForm f;  // everything empty, as after the window was cleared without a Refresh
    f.rotateSpeed = "something else";
    f.localTime = false;
    ConfigPacket c = buildConfigPacket(device, true, f, kNow);
    ASSERT_FALSE(c.refusal);
    const std::uint8_t* p = bytesOf(c);
    EXPECT_EQ(readBE16(p + 8), 600);
    EXPECT_EQ(0, std::memcmp(p + 10, device.data() + 10, 8));  // both addresses
    EXPECT_EQ(0, std::memcmp(p + 18, device.data() + 18, 6));  // empty MAC keeps the device's
    EXPECT_EQ(0, std::memcmp(p + 24, device.data() + 24, 4));  // both ports
    const std::uint8_t zeros[12] = {};
    EXPECT_EQ(0, std::memcmp(p + 28, zeros, 4));   // NTP: zeros, not the device's
    // An emptied gateway or mask keeps the device's: 0.0.0.0 could cut the sensor off.
    EXPECT_EQ(0, std::memcmp(p + 32, device.data() + 32, 8));
    EXPECT_EQ(readBE16(p + 40), 0);                // Run
    EXPECT_EQ(readBE16(p + 42), 513);              // empty interval keeps the device's
    EXPECT_EQ(readBE16(p + 44), 0);                // Running
    EXPECT_EQ(readBE16(p + 48), 4500);             // empty PPS angle keeps the device's
    EXPECT_EQ(0, std::memcmp(p + 52, zeros, 6));   // no local time

    // A MAC other than 17 characters gives the fixed one.
    f.mac = "60-76-88";
    c = buildConfigPacket(device, true, f, kNow);
    p = bytesOf(c);
    const std::uint8_t fixedMac[] = {0x60, 0x76, 0x88, 0x00, 0x00, 0x00};
    EXPECT_EQ(0, std::memcmp(p + 18, fixedMac, 6));
    f.dataPort = "1025";
    f.devicePort = "65535";
    p = bytesOf(c = buildConfigPacket(device, true, f, kNow));
    EXPECT_EQ(readBE16(p + 24), 1025);
    EXPECT_EQ(readBE16(p + 26), 65535);
}

TEST(ConfigPacket, AllOnesSensorAddressIsReplacedInPacketAndDeviceCopy) {
    DevicePacket device = newerDevice();
    std::memset(device.data() + kDevSensorIp, 0xFF, 4);
    NetworkForm f;
    f.destIp = "127.0.0.1";
    const ConfigPacket c = buildConfigPacket(device, true, f, kNow);
    ASSERT_FALSE(c.refusal);
    const std::uint8_t replaced[] = {0xC0, 0xA8, 0x01, 0xC8};
    EXPECT_EQ(0, std::memcmp(bytesOf(c) + 10, replaced, 4));
    EXPECT_EQ(0, std::memcmp(device.data() + kDevSensorIp, replaced, 4));
    EXPECT_EQ(c.sensorAddress, "192.168.1.200");
}

TEST(ConfigPacket, EarlierGenerationIsThe36BytePacket) {
    DevicePacket device = earlierDevice();
    ConfigPacket c = buildConfigPacket(device, false, fullForm(), kNow);
    ASSERT_FALSE(c.refusal);
    const std::uint8_t expected[36] = {0xFF, 0x00, 0x00, 0xA2, 0xFF, 0xFF, 0x00, 0x00, 0xA3,
                                       127,  0,    0,    5,    0,    0,    0,    0,    0x0F,
                                       0xA1, 127,  0,    0,    6,    0x0F, 0xA2, 0,    0,
                                       0,    0,    0x04, 0xB0, 0,    0xA5, 0x5A, 0x0F, 0xF0};
    ASSERT_EQ(c.bytes.size(), 36);
    EXPECT_EQ(0, std::memcmp(bytesOf(c), expected, 36));
    EXPECT_EQ(c.sensorAddress, "127.0.0.3");

    NetworkForm empty;
    empty.rotateSpeed = " 5 HZ";
    c = buildConfigPacket(device, false, empty, kNow);
    const std::uint8_t fallback[] = {127,  0,    0,   3, 0, 0, 0,    0,
                                     0x0B, 0xB9, 127, 0, 0, 1, 0x0B, 0xBA};
    EXPECT_EQ(0, std::memcmp(bytesOf(c) + 9, fallback, sizeof fallback));
    EXPECT_EQ(readBE16(bytesOf(c) + 29), 300);
}

TEST(ConfigPacket, RefusesSameAddressAndMalformedFieldsAndBuildsNothing) {
    DevicePacket device = newerDevice();
    NetworkForm f = fullForm();
    f.destIp = f.sensorIp;
    ConfigPacket c = buildConfigPacket(device, true, f, kNow);
    ASSERT_TRUE(c.refusal);
    EXPECT_EQ(c.refusal->title, "warring");
    EXPECT_EQ(c.refusal->text, kTextSameAddress);
    EXPECT_TRUE(c.bytes.isEmpty());

    struct Case {
        QString NetworkForm::*field;
        const char* text;
        const char* named;
    } cases[] = {{&NetworkForm::sensorIp, "10.1", "Lidar IP"},
                 {&NetworkForm::destIp, "1.2.3.256", "Dest IP"},
                 {&NetworkForm::subnetMask, "255.255.255", "Subnet Mask"},
                 {&NetworkForm::ntpIp, "1.2.3.4.5", "NTP IP"},
                 {&NetworkForm::ppsAngle, "361", "PPS"},
                 {&NetworkForm::packetInterval, "x", "Packet interval"},
                 // A typed port the packet cannot carry is refused, never replaced by the old.
                 {&NetworkForm::dataPort, "0", "Data Port"},
                 {&NetworkForm::dataPort, "1024", "Data Port"},
                 {&NetworkForm::dataPort, "abc", "Data Port"},
                 {&NetworkForm::devicePort, "70000", "device Port"},
                 {&NetworkForm::devicePort, "65536", "device Port"},
                 // Mask and gateway are checked on every Set, edited or not.
                 {&NetworkForm::subnetMask, "255.0.255.0", "subnet mask"},
                 {&NetworkForm::gateway, "10.9.9.1", "gateway"}};
    for (const Case& k : cases) {
        f = fullForm();
        f.*(k.field) = QString::fromLatin1(k.text);
        device = newerDevice();
        c = buildConfigPacket(device, true, f, kNow);
        ASSERT_TRUE(c.refusal) << k.text;
        EXPECT_EQ(c.refusal->title, "Warning");
        EXPECT_TRUE(c.refusal->text.contains(k.named)) << c.refusal->text.toStdString();
        const bool checkText = k.field == &NetworkForm::subnetMask || k.field == &NetworkForm::gateway;
        if (!checkText) {
            EXPECT_TRUE(c.refusal->text.contains(k.text)) << c.refusal->text.toStdString();
        }
        EXPECT_TRUE(c.bytes.isEmpty());
    }

    // A gateway checked against the device's own destination and mask when those are empty:
    // 10.0.0.1 lies outside 127.0.0.1 / 255.255.0.0.
    f = NetworkForm();
    f.gateway = "10.0.0.1";
    device = newerDevice();
    ASSERT_TRUE(buildConfigPacket(device, true, f, kNow).refusal);
    f.gateway = "127.0.9.9";
    EXPECT_FALSE(buildConfigPacket(device, true, f, kNow).refusal);
    // The earlier generation refuses a typed port it cannot carry too.
    f = NetworkForm();
    f.dataPort = "80";
    device = earlierDevice();
    ASSERT_TRUE(buildConfigPacket(device, false, f, kNow).refusal);
}

TEST(NetworkChecks, MaskGatewayAndFirstOctet) {
    // An empty field fails quietly; a malformed or wrong one fails with its warning.
    const struct {
        const char* what;
        CheckResult r;
        bool ok;
        const char* warning;
    } cases[] = {
        {"mask 0", checkSubnetMask("0.0.0.0"), true, ""},
        {"mask all ones", checkSubnetMask("255.255.255.255"), true, ""},
        {"mask with a hole", checkSubnetMask("255.255.0.255"), false, kTextMaskInvalid},
        {"partial mask", checkSubnetMask("255.255"), false, kTextMaskInvalid},
        {"empty mask", checkSubnetMask(""), false, ""},
        {"gateway inside", checkGateway("10.9.9.9", "10.1.2.3", "255.0.0.0"), true, ""},
        {"gateway outside", checkGateway("11.0.0.1", "10.1.2.3", "255.0.0.0"), false,
         kTextGatewayOutside},
        {"partial gateway", checkGateway("10.0", "10.1.2.3", "255.0.0.0"), false,
         kTextGatewayOutside},
        {"no sensor address", checkGateway("10.0.0.1", "", "255.0.0.0"), false, ""},
        {"first octet 223", checkFirstOctet("223.2.3.4"), true, ""},
        {"empty address", checkFirstOctet(""), false, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.r.ok, c.ok) << c.what;
        EXPECT_EQ(c.r.warning, QString::fromLatin1(c.warning)) << c.what;
    }

    // A first octet outside 1..223 is named and replaced by 223; a partial address is warned.
    CheckResult r = checkFirstOctet("224.5.6.7");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.warning,
              "224 is not a valid item in the first paragraph. Please specify a value between 1 "
              "and 223.");
    EXPECT_EQ(r.newText.value_or(QString()), "223.5.6.7");
    EXPECT_EQ(checkFirstOctet("0.1.2.3").newText.value_or(QString()), "223.1.2.3");
    r = checkFirstOctet("10.1");
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.warning.isEmpty());
    EXPECT_FALSE(r.newText);
}

TEST(NetworkChecks, FocusFillsMaskByClassAndGatewayFromTheSubnet) {
    EXPECT_EQ(maskOnFocus("", "10.1.2.3").value_or("?"), "255.0.0.0");
    EXPECT_EQ(maskOnFocus("", "127.0.0.1").value_or("?"), "");
    EXPECT_EQ(maskOnFocus("", "172.16.0.1").value_or("?"), "255.255.0.0");
    EXPECT_EQ(maskOnFocus("", "223.1.1.1").value_or("?"), "255.255.255.0");
    EXPECT_EQ(maskOnFocus("", "224.1.1.1").value_or("?"), "");
    EXPECT_EQ(maskOnFocus("", "10.1").value_or("?"), "");  // emptied, no class to read
    EXPECT_FALSE(maskOnFocus("", ""));                     // field left as it is

    EXPECT_EQ(gatewayOnFocus("", "10.1.2.3", "255.0.0.0").value_or("?"), "10.0.0.1");
    EXPECT_EQ(gatewayOnFocus("", "192.168.5.77", "255.255.255.0").value_or("?"), "192.168.5.1");
    EXPECT_FALSE(gatewayOnFocus("", "10.1.2", "255.0.0.0"));
    EXPECT_FALSE(gatewayOnFocus("", "10.1.2.3", ""));
    // A refreshed or typed value is never replaced by the guess (a Set would send the guess).
    EXPECT_FALSE(maskOnFocus("255.255.0.0", "10.1.2.3"));
    EXPECT_FALSE(gatewayOnFocus("10.1.9.9", "10.1.2.3", "255.0.0.0"));
}

TEST(NetworkRefresh, SpeedRangesAndTheEarlierLayout) {
    const int speeds[][2] = {{249, -1}, {250, 0},   {350, 0},  {351, -1}, {550, 1},
                             {650, 1},  {1149, -1}, {1150, 2}, {1250, 2}, {1251, -1}};
    for (const auto& s : speeds) EXPECT_EQ(rotationIndexForSpeed(s[0]), s[1]) << s[0];

    const DevicePacket p = earlierDevice();
    const RefreshValues v = refreshValues(p.data(), 1, 2);  // ports come from the packet
    EXPECT_FALSE(v.newGeneration);
    EXPECT_EQ(v.sensorIp, "127.0.0.3");
    EXPECT_EQ(v.dataPort, "3001");
    EXPECT_EQ(v.devicePort, "3002");
    EXPECT_EQ(v.motorSpeed, 1200);
    EXPECT_FALSE(v.subnetMask);
}

TEST(AboutTexts, VersionsAndTheDataReceivedRule) {
    EXPECT_FALSE(aboutTextsOnShow({}, false).software);
    AboutTexts t = aboutTextsOnShow({}, true);
    EXPECT_EQ(t.software.value_or(""), "200.2.5-V3.0");
    for (const auto& h : t.hardware) EXPECT_FALSE(h);

    const QStringList list = {
        "V3.1.2", "2024.5.12-V.1.2.3", "SERIAL", "V1.0", "V1.1", "V1.2", "V1.3", "V1.4"};
    EXPECT_FALSE(aboutTextsOnShow(list, false).software);  // a list alone shows nothing on show
    t = aboutTextsOnShow(list, true);
    EXPECT_EQ(t.software.value_or(""), "2024.5.12-V.1.2.3");
    EXPECT_EQ(t.hardware[2].value_or(""), "2024.5.12-V.1.2.3");  // entry 1 on both tabs
    EXPECT_EQ(t.hardware[0].value_or(""), "SERIAL");
    EXPECT_EQ(t.hardware[1].value_or(""), "V3.1.2");
    EXPECT_EQ(t.hardware[7].value_or(""), "V1.4");

    t = aboutTextsForVersions({"V3.1.2"});  // a short list: missing entries are not read
    EXPECT_EQ(t.hardware[1].value_or(""), "V3.1.2");
    EXPECT_FALSE(t.software);
    EXPECT_FALSE(t.hardware[0]);

    const SettingData d = decodeSettingData(newerDevice().data());
    const std::vector<std::string> versions = versionList(d);
    ASSERT_EQ(versions.size(), 8u);
    EXPECT_EQ(versions[1], "2024.5.12-V.1.2.3");
    EXPECT_EQ(versions[2].size(), 20u);  // all 20 serial characters, zeros included
}

TEST(SimConfiguration, AppliesTheBuiltPacketsAndRefusesOthers) {
    sim::SimState s;
    s.lidarIp = {{127, 0, 0, 2}};
    const DevicePacket fromSim = sim::buildDevicePacket(s, sim::CivilTime{});
    DevicePacket device = fromSim;
    NetworkForm f = formFromDevicePacket(device.data());
    f.rotateSpeed = " 20 HZ";
    f.motorState = "Stop";
    f.ppsAngle = "90";
    f.dataPort = "4001";
    ConfigPacket c = buildConfigPacket(device, true, f, kNow);
    ASSERT_FALSE(c.refusal);
    sim::SimState applied = s;
    std::string why;
    ASSERT_TRUE(sim::applyConfigPacket(applied, bytesOf(c), 1206, &why)) << why;
    EXPECT_EQ(applied.rpm, 1200);
    EXPECT_FALSE(applied.streaming());
    EXPECT_EQ(applied.ppsAngle, 9000);
    EXPECT_EQ(applied.dataPort, 4001);
    EXPECT_EQ(applied.devicePort, s.devicePort);
    EXPECT_EQ(applied.mac, s.mac);
    EXPECT_EQ(applied.subnetMask, s.subnetMask);
    EXPECT_EQ(applied.timeSource, sim::TimeSource::LocalClock);

    // A damaged trailer or header, a real-network sensor address: refused, state unchanged.
    QByteArray bad = c.bytes;
    bad[1205] = 0;
    sim::SimState untouched = s;
    EXPECT_FALSE(sim::applyConfigPacket(
        untouched, reinterpret_cast<const std::uint8_t*>(bad.constData()), 1206, &why));
    bad = c.bytes;
    bad[3] = 0;
    EXPECT_FALSE(sim::applyConfigPacket(
        untouched, reinterpret_cast<const std::uint8_t*>(bad.constData()), 1206, &why));
    f.sensorIp = "192.168.1.50";
    device = fromSim;
    c = buildConfigPacket(device, true, f, kNow);
    EXPECT_FALSE(sim::applyConfigPacket(untouched, bytesOf(c), 1206, &why));
    EXPECT_EQ(untouched.rpm, s.rpm);
    EXPECT_EQ(untouched.lidarIp, s.lidarIp);
}
