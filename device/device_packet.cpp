// Decoding and writing of the device information packet.
#include "device/device_packet.h"

#include <cstring>

#include "device/device_header.h"
#include "platform/byte_order.h"

namespace k740 {

static_assert(sizeof(kDeviceHeader) == kDeviceHeaderSize, "device header length");
static_assert(kDevBoard3Version + 6 == kDevicePacketSize - 2, "board-3 version ends at byte 1203");

bool isDevicePacket(const std::uint8_t* data, std::size_t length) {
    return data != nullptr && length == kDevicePacketSize &&
           std::memcmp(data, kDeviceHeader, kDeviceHeaderSize) == 0;
}

SettingData decodeSettingData(const std::uint8_t* p) {
    SettingData d;
    std::memset(&d, 0, sizeof d);
    std::memcpy(d.destIp, p + kDevDestIp, 4);
    std::memcpy(d.dataPortBytes, p + kDevDataPort, 2);
    d.motorSpeed = readBE16(p + kDevMotorSpeed);
    d.motorState = readBE16(p + kDevMotorState);
    std::memcpy(d.gpsTime, p + kDevGpsTime, 6);
    d.packetInterval = readBE16(p + kDevPacketInterval);
    std::memcpy(d.ppsSetAngle, p + kDevPpsSetAngle, 2);
    std::memcpy(d.ppsDeviation, p + kDevPpsDeviation, 2);
    std::memcpy(d.latitude, p + kDevLatitude, 10);
    d.latitudeHemisphere = static_cast<char>(p[kDevLatitudeHemisphere]);
    std::memcpy(d.longitude, p + kDevLongitude, 10);
    d.longitudeHemisphere = static_cast<char>(p[kDevLongitudeHemisphere]);
    std::memcpy(d.boardTemperature, p + kDevBoardTemperature, 2);
    std::memcpy(d.lvdsState, p + kDevLvdsState, 2);
    d.reserved168 = p[kDevAdvancedBlock];
    d.reserved169 = p[kDevAdvancedBlock + 1];
    std::memcpy(d.reserved170, p + kDevAdvancedBlock + 2, 4);
    std::memcpy(d.reserved174, p + kDevAdvancedBlock + 6, 4);
    std::memcpy(d.board2Version, p + kDevBoard2Version, 2);
    std::memcpy(d.board3Version, p + kDevBoard3Version, 6);
    std::memcpy(d.verticalAngles, p + kDevVerticalAngles, kDevVerticalAnglesSize);
    d.gpsState = p[kDevGpsState];
    d.ppsState = p[kDevPpsState];
    d.highTempPause = p[kDevHighTempPause];
    std::memcpy(d.stopTemperature, p + kDevStopTemperature, 2);
    std::memcpy(d.board3Values, p + kDevBoard3Values, 10);
    std::memcpy(d.serialText, p + kDevSerialText, kDevSerialTextSize);
    std::memcpy(d.versionPairs, p + kDevVersionPairs, 2 * kDevVersionPairCount);
    return d;
}

std::vector<int> decodeStatusValues(const std::uint8_t* p) {
    std::vector<int> v;
    v.reserve(kStatusValueCount);
    for (std::size_t i = 0; i < 6; ++i) v.push_back(p[kDevMac + i]);
    v.push_back(readBE16(p + kDevPpsDeviation));
    v.push_back(readBE16(p + kDevDataPort));
    v.push_back(readBE16(p + kDevDevicePort));
    v.push_back(readBE16(p + kDevMeasuringRange));
    v.push_back(readBE16(p + kDevTailThreshold));
    v.push_back(readBE16(p + kDevTailDistance));
    v.push_back(p[kDevZeroAnglePosition]);
    v.push_back(p[kDevEchoMode]);
    v.push_back(readBE16(p + kDevHorizontalOffset));
    v.push_back(readBE16(p + kDevEncoderZero));
    v.push_back(readBE16(p + kDevBoard2HighVoltage));
    v.push_back(readBE16(p + kDevBoard2HighVoltageAdjust));
    v.push_back(p[kDevBoard2Threshold]);
    return v;
}

bool isEarlierGeneration(const std::uint8_t* packet) {
    return packet[kDevGenerationByte] == kEarlierGenerationMark;
}

bool isEarlierGeneration(const SettingData& data) {
    return data.board3Version[kDevGenerationByte - kDevBoard3Version] == kEarlierGenerationMark;
}

namespace {

Ipv4 readIpv4(const std::uint8_t* p) { return Ipv4{{p[0], p[1], p[2], p[3]}}; }

void writeBytes(std::uint8_t* dst, const void* src, std::size_t n) { std::memcpy(dst, src, n); }

}  // namespace

DeviceNetworkFields decodeNetworkFields(const std::uint8_t* p) {
    DeviceNetworkFields f;
    f.sensorIp = readIpv4(p + kDevSensorIp);
    f.destIp = readIpv4(p + kDevDestIp);
    for (std::size_t i = 0; i < 6; ++i) f.mac[i] = p[kDevMac + i];
    f.dataPort = readBE16(p + kDevDataPort);
    f.devicePort = readBE16(p + kDevDevicePort);
    f.ntpIp = readIpv4(p + kDevNtpIp);
    f.gateway = readIpv4(p + kDevGateway);
    f.subnetMask = readIpv4(p + kDevSubnetMask);
    f.motorSpeed = readBE16(p + kDevMotorSpeed);
    f.motorState = readBE16(p + kDevMotorState);
    f.packetInterval = readBE16(p + kDevPacketInterval);
    f.sensorStatus = readBE16(p + kDevSensorStatus);
    return f;
}

EarlierNetworkFields decodeEarlierNetworkFields(const std::uint8_t* p) {
    EarlierNetworkFields f;
    f.sensorIp = readIpv4(p + kDevOldSensorIp);
    f.dataPort = readBE16(p + kDevOldDataPort);
    f.destIp = readIpv4(p + kDevOldDestIp);
    f.devicePort = readBE16(p + kDevOldDevicePort);
    f.motorSpeed = readBE16(p + kDevOldMotorSpeed);
    return f;
}

std::string sensorAddressText(const std::uint8_t* packet, std::size_t length) {
    if (!isDevicePacket(packet, length)) return std::string();
    return ipv4Text(isEarlierGeneration(packet) ? decodeEarlierNetworkFields(packet).sensorIp
                                                : decodeNetworkFields(packet).sensorIp);
}

std::string ipv4Text(const Ipv4& ip) { return ipv4Text(ip.data()); }

std::string ipv4Text(const std::uint8_t* b) {
    return std::to_string(b[0]) + '.' + std::to_string(b[1]) + '.' + std::to_string(b[2]) + '.' +
           std::to_string(b[3]);
}

DevicePacket buildDevicePacket(const DevicePacketFields& f) {
    DevicePacket zero{};
    return buildDevicePacket(f, zero);
}

DevicePacket buildDevicePacket(const DevicePacketFields& f, const DevicePacket& base) {
    DevicePacket pk = base;
    std::uint8_t* p = pk.data();
    writeBytes(p, kDeviceHeader, kDeviceHeaderSize);
    writeBE16(p + kDevMotorSpeed, f.motorSpeed);
    writeBytes(p + kDevSensorIp, f.sensorIp.data(), 4);
    writeBytes(p + kDevDestIp, f.destIp.data(), 4);
    writeBytes(p + kDevMac, f.mac.data(), 6);
    writeBE16(p + kDevDataPort, f.dataPort);
    writeBE16(p + kDevDevicePort, f.devicePort);
    writeBytes(p + kDevNtpIp, f.ntpIp.data(), 4);
    writeBytes(p + kDevGateway, f.gateway.data(), 4);
    writeBytes(p + kDevSubnetMask, f.subnetMask.data(), 4);
    writeBE16(p + kDevMotorState, f.motorState);
    writeBE16(p + kDevPacketInterval, f.packetInterval);
    writeBE16(p + kDevSensorStatus, f.sensorStatus);
    writeBE16(p + kDevPpsSetAngle, f.ppsSetAngle);
    writeBE16(p + kDevPpsDeviation, f.ppsDeviationRaw);
    writeBytes(p + kDevGpsTime, f.gpsTime.data(), 6);
    writeBytes(p + kDevLatitude, f.latitude.data(), 10);
    writeBytes(p + kDevLongitude, f.longitude.data(), 10);
    p[kDevLatitudeHemisphere] = static_cast<std::uint8_t>(f.latitudeHemisphere);
    p[kDevLongitudeHemisphere] = static_cast<std::uint8_t>(f.longitudeHemisphere);
    writeBE16(p + kDevBoardTemperature, f.boardTemperatureCode);
    writeBE16(p + kDevLvdsState, f.lvdsState);
    p[kDevGpsState] = f.gpsState;
    p[kDevPpsState] = f.ppsState;
    p[kDevHighTempPause] = f.highTempPause;
    writeBE16(p + kDevStopTemperature, f.stopTemperatureCode);
    writeBytes(p + kDevBoard3Values, f.board3Values.data(), 10);
    writeBE16(p + kDevBoard2HighVoltage, f.board2HighVoltage);
    writeBE16(p + kDevBoard2HighVoltageAdjust, f.board2HighVoltageAdjust);
    p[kDevBoard2Threshold] = f.board2Threshold;
    writeBytes(p + kDevAdvancedBlock, f.advancedBlock.data(), kDevAdvancedBlockSize);
    writeBE16(p + kDevMeasuringRange, f.measuringRange);
    writeBE16(p + kDevTailThreshold, f.tailThreshold);
    writeBE16(p + kDevTailDistance, f.tailDistance);
    p[kDevZeroAnglePosition] = f.zeroAnglePosition;
    p[kDevEchoMode] = f.echoMode;
    writeBE16(p + kDevHorizontalOffset, f.horizontalOffset);
    writeBE16(p + kDevEncoderZero, f.encoderZero);
    writeBytes(p + kDevVerticalAngles, f.verticalAngles.data(), kDevVerticalAnglesSize);
    writeBytes(p + kDevSerialText, f.serialText.data(), kDevSerialTextSize);
    writeBytes(p + kDevVersionPairs, f.versionPairs.data(), 2 * kDevVersionPairCount);
    writeBytes(p + kDevBoard2Version, f.board2Version.data(), 2);
    writeBytes(p + kDevBoard3Version, f.board3Version.data(), 6);
    return pk;
}

}  // namespace k740
