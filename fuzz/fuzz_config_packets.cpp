// Configuration-packet builders fed arbitrary form texts: the network and operating settings
// packet of both sensor generations with the field checks and focus auto-fill, and the
// vertical angle packet, and the advanced packet on a captured frame with the Restore target. A
// built packet has its fixed length; a refusal builds nothing.
#include <array>
#include <cstdint>

#include "acquisition/packet_format.h"
#include "device/advanced_config.h"
#include "device/device_packet.h"
#include "device/network_config.h"
#include "device/vertical_angles.h"
#include "fuzz/fuzz_support.h"

using namespace k740;
using k740fuzz::formText;

namespace {

void networkPacket(FuzzedDataProvider& in, DevicePacket& device) {
    NetworkForm form;
    form.sensorIp = formText(in);
    form.dataPort = formText(in);
    form.destIp = formText(in);
    form.devicePort = formText(in);
    form.subnetMask = formText(in);
    form.gateway = formText(in);
    form.mac = formText(in);
    form.packetInterval = formText(in);
    form.ntpIp = formText(in);
    form.ppsAngle = formText(in);
    form.rotateSpeed = formText(in);
    form.motorState = in.ConsumeBool() ? QStringLiteral("Stop") : formText(in);
    form.lidarStatus = in.ConsumeIntegralInRange<int>(-1, 2);
    form.localTime = in.ConsumeBool();
    LocalTime now;
    now.year = in.ConsumeIntegralInRange<int>(1990, 2300);
    now.month = in.ConsumeIntegralInRange<int>(0, 13);
    now.second = in.ConsumeIntegralInRange<int>(0, 61);
    const bool newGeneration = in.ConsumeBool();

    const ConfigPacket packet = buildConfigPacket(device, newGeneration, form, now);
    if (packet.refusal) {
        if (!packet.bytes.isEmpty()) k740fuzz::fail("refused configuration packet has bytes");
    } else {
        const int want = newGeneration ? int(kDevicePacketSize) : int(kEarlierConfigSize);
        if (packet.bytes.size() != want) k740fuzz::fail("configuration packet of wrong length");
    }
    (void)sameAddressRefused(form);
    (void)parseIpv4(form.sensorIp);
    (void)checkSubnetMask(form.subnetMask);
    (void)checkGateway(form.gateway, form.destIp, form.subnetMask);
    (void)checkFirstOctet(form.destIp);
    (void)maskOnFocus(form.subnetMask, form.destIp);
    (void)gatewayOnFocus(form.gateway, form.destIp, form.subnetMask);
    (void)rotationRpm(form.rotateSpeed);
}

void anglePacket(FuzzedDataProvider& in, const DevicePacket& device) {
    std::array<QString, kChannelCount> angles;
    for (QString& a : angles) a = formText(in);
    const int degreeMode = in.ConsumeIntegralInRange<int>(-1, 2);
    const AnglePacket packet = buildVerticalAnglePacket(device, angles, degreeMode);
    if (packet.refusal) {
        if (packet.refusedRow < 0 || packet.refusedRow >= kChannelCount)
            k740fuzz::fail("angle refusal names no row");
    } else {
        if (packet.bytes.size() != int(kDevicePacketSize)) k740fuzz::fail("angle packet length");
        if (!isVerticalAnglePacket(reinterpret_cast<const std::uint8_t*>(packet.bytes.constData()),
                                   std::size_t(packet.bytes.size())))
            k740fuzz::fail("built angle packet not recognised as one");
    }
}

void advancedPacket(FuzzedDataProvider& in, const DevicePacket& device) {
    AdvancedForm form;
    form.highReflect = formText(in);
    form.range = formText(in);
    form.tailThreshold = formText(in);
    form.tailDistance = formText(in);
    form.offsetAngle = formText(in);
    form.calibrationAngle = formText(in);
    form.zeroPosition = in.ConsumeIntegralInRange<int>(-1, 2);
    form.echoMode = in.ConsumeIntegralInRange<int>(-1, 2);
    form.rotateSpeed = formText(in);
    const AdvancedCheck check = checkAdvancedForm(form);
    (void)restoreTarget(formText(in), formText(in));
    // A captured frame: 42 header bytes from the input, then the device packet.
    std::vector<std::uint8_t> frame = in.ConsumeBytes<std::uint8_t>(kCaptureHeaderSize);
    frame.resize(kCaptureHeaderSize, 0);
    frame.insert(frame.end(), device.begin(), device.end());
    const std::optional<CapturedDevicePacket> captured =
        devicePacketFromFrame(frame.data(), frame.size(), in.ConsumeBool());
    if (!captured) return;
    const SettingData record = decodeSettingData(captured->payload.data());
    (void)advancedReadback(record, decodeStatusValues(captured->payload.data()),
                           captured->payload.data());
    if (check.refusal) return;
    const QByteArray packet = buildAdvancedPacket(*captured, in.ConsumeIntegralInRange<int>(-1, 3),
                                                  check.values, LocalTime{});
    if (packet.size() != int(kDevicePacketSize)) k740fuzz::fail("advanced packet length");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    DevicePacket device{};
    const std::vector<std::uint8_t> bytes =
        k740fuzz::shapedPacket(in, in.ConsumeIntegralInRange<std::size_t>(0, kDevicePacketSize),
                               {0xA5, 0xFF, 0x00, 0x5A, 0x11, 0x11, 0x55, 0x55});
    std::copy(bytes.begin(), bytes.end(), device.begin());
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:
            networkPacket(in, device);
            break;
        case 1:
            anglePacket(in, device);
            break;
        default:
            advancedPacket(in, device);
            break;
    }
    return 0;
}
