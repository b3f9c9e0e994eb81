// The status lines of a device information packet.
#include "device/status_lines.h"

#include <QStringList>

#include "device/device_packet.h"
#include "device/device_texts.h"
#include "device/network_config.h"
#include "platform/byte_order.h"

namespace k740 {

std::vector<std::pair<const char*, QString>> deviceStatusLines(const std::uint8_t* packet) {
    std::vector<std::pair<const char*, QString>> out;
    const auto line = [&out](const char* name, const QString& value) { out.emplace_back(name, value); };
    const SettingData d = decodeSettingData(packet);
    const std::vector<int> values = decodeStatusValues(packet);
    const RefreshValues v = refreshValues(packet, values[7], values[8]);
    line("generation", v.newGeneration ? QStringLiteral("newer") : QStringLiteral("earlier"));
    line("lidar-ip", v.sensorIp);
    line("dest-ip", v.destIp);
    line("data-port", v.dataPort);
    line("device-port", v.devicePort);
    if (v.newGeneration) {
        line("subnet-mask", v.subnetMask.value_or(QString()));
        line("gateway", v.gateway.value_or(QString()));
        line("ntp-ip", v.ntpIp.value_or(QString()));
    }
    line("mac", macText(values));
    line("rpm", motorSpeedText(v.motorSpeed));
    if (v.newGeneration) {
        line("motor", v.motorState.value_or(QString::number(readBE16(packet + kDevMotorState))));
        line("lidar-status", v.lidarStatus == 1 ? QStringLiteral("Sleep") : QStringLiteral("Running"));
        line("packet-interval", QString::number(v.packetInterval));
        line("pps-set-angle", ppsSetAngleText(d.ppsSetAngle));
        line("time", gpsTimeText(d.gpsTime));
    }
    const QStringList versions = versionList(d);
    line("board2-version", versions[0]);
    line("board3-version", versions[1]);
    line("lidar-id", versions[2].section(QChar(0), 0, 0));
    static const char* const kPairNames[] = {"version-pair-1", "version-pair-2", "version-pair-3",
                                             "version-pair-4", "version-pair-5", "version-pair-6",
                                             "version-pair-7", "version-pair-8"};
    for (int i = 3; i < versions.size() && i - 3 < 8; ++i) line(kPairNames[i - 3], versions[i]);
    return out;
}

}  // namespace k740
