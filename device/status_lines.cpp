// The status lines of a device information packet.
#include "device/status_lines.h"

#include "device/device_packet.h"
#include "device/device_texts.h"
#include "platform/byte_order.h"

namespace k740 {

std::vector<std::pair<const char*, std::string>> deviceStatusLines(const std::uint8_t* packet) {
    std::vector<std::pair<const char*, std::string>> out;
    const auto line = [&out](const char* name, const std::string& value) { out.emplace_back(name, value); };
    const SettingData d = decodeSettingData(packet);
    const std::vector<int> values = decodeStatusValues(packet);
    const RefreshValues v = refreshValues(packet, values[7], values[8]);
    line("generation", v.newGeneration ? "newer" : "earlier");
    line("lidar-ip", v.sensorIp);
    line("dest-ip", v.destIp);
    line("data-port", v.dataPort);
    line("device-port", v.devicePort);
    if (v.newGeneration) {
        line("subnet-mask", v.subnetMask.value_or(std::string()));
        line("gateway", v.gateway.value_or(std::string()));
        line("ntp-ip", v.ntpIp.value_or(std::string()));
    }
    line("mac", macText(values));
    line("rpm", motorSpeedText(v.motorSpeed));
    if (v.newGeneration) {
        line("motor", v.motorState.value_or(std::to_string(readBE16(packet + kDevMotorState))));
        line("lidar-status", v.lidarStatus == 1 ? "Sleep" : "Running");
        line("packet-interval", std::to_string(v.packetInterval));
        line("pps-set-angle", ppsSetAngleText(d.ppsSetAngle));
        line("time", gpsTimeText(d.gpsTime));
    }
    const std::vector<std::string> versions = versionList(d);
    line("board2-version", versions[0]);
    line("board3-version", versions[1]);
    // The serial characters up to the first zero byte.
    line("lidar-id", versions[2].substr(0, versions[2].find('\0')));
    static const char* const kPairNames[] = {"version-pair-1", "version-pair-2", "version-pair-3",
                                             "version-pair-4", "version-pair-5", "version-pair-6",
                                             "version-pair-7", "version-pair-8"};
    for (std::size_t i = 3; i < versions.size() && i - 3 < 8; ++i) line(kPairNames[i - 3], versions[i]);
    return out;
}

}  // namespace k740
