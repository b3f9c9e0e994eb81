// Device information packet decoding: every decoder and text the status path and the
// settings windows apply to a received packet, fed arbitrary 1206-byte packets.
#include <cstdint>

#include "device/device_packet.h"
#include "device/device_texts.h"
#include "device/network_config.h"
#include "device/vertical_angles.h"
#include "fuzz/fuzz_support.h"

using namespace k740;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const bool header = in.ConsumeBool();
    std::vector<std::uint8_t> bytes =
        header ? k740fuzz::shapedPacket(in, kDevicePacketSize,
                                        {0xA5, 0xFF, 0x00, 0x5A, 0x11, 0x11, 0x55, 0x55})
               : in.ConsumeRemainingBytes<std::uint8_t>();
    // Any length goes through the checks; only whole packets reach the decoders.
    (void)isDevicePacket(bytes.data(), bytes.size());
    (void)sensorAddressText(bytes.data(), bytes.size());
    if (bytes.size() != kDevicePacketSize) return 0;
    const std::uint8_t* p = bytes.data();

    const SettingData record = decodeSettingData(p);
    const std::vector<int> status = decodeStatusValues(p);
    if (status.size() != kStatusValueCount) k740fuzz::fail("status values not 19");
    (void)decodeNetworkFields(p);
    (void)decodeEarlierNetworkFields(p);
    (void)isEarlierGeneration(record);
    (void)macText(status);
    (void)serialText(record);
    (void)positionText(record.latitude, record.latitudeHemisphere);
    (void)board3ValuesText(record);
    (void)gpsTimeText(record.gpsTime);
    (void)ppsSetAngleText(record.ppsSetAngle);
    (void)ppsDeviationText((record.ppsDeviation[0] << 8) | record.ppsDeviation[1]);
    (void)boardTemperatureText(record.boardTemperature);
    (void)stopTemperatureText(record.stopTemperature);
    (void)board2VersionText(record.board2Version);
    (void)board3VersionText(record.board3Version);
    (void)board3VersionTextCompact(record.board3Version);
    (void)versionList(record);
    (void)reportedAngles(record);
    (void)refreshValues(p, status[7], status[8]);
    (void)formFromDevicePacket(p);
    (void)motorSpeedText(status.size() > 9 ? status[9] : 0);
    return 0;
}
