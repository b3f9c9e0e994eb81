// Test helper: device information packet fields in which every field holds its own
// recognisable value, so a field read from or written to the wrong bytes shows.
#pragma once

#include <cstring>

#include "device/device_packet.h"

namespace k740test {

inline k740::DevicePacketFields distinctFields() {
    k740::DevicePacketFields f;
    f.motorSpeed = 1200;
    f.sensorIp = {{10, 1, 2, 3}};
    f.destIp = {{10, 4, 5, 6}};
    f.mac = {{0x0A, 0x1B, 0x2C, 0xD3, 0xE4, 0xF5}};
    f.dataPort = 3001;
    f.devicePort = 3002;
    f.ntpIp = {{10, 7, 8, 9}};
    f.gateway = {{10, 0, 0, 1}};
    f.subnetMask = {{255, 255, 0, 0}};
    f.motorState = 2;
    f.packetInterval = 513;
    f.sensorStatus = 1;
    f.ppsSetAngle = 12345;
    f.ppsDeviationRaw = 0x8000;
    f.gpsTime = {{24, 5, 12, 3, 4, 5}};
    std::memcpy(f.latitude.data(), "3114.5678N", 10);
    std::memcpy(f.longitude.data(), "12128.1234", 10);
    f.latitudeHemisphere = 'N';
    f.longitudeHemisphere = 'E';
    f.boardTemperatureCode = 75;
    f.lvdsState = 0x0101;
    f.gpsState = 1;
    f.ppsState = 2;
    f.highTempPause = 3;
    f.stopTemperatureCode = 1000;
    for (int i = 0; i < 10; ++i) f.board3Values[i] = static_cast<std::uint8_t>(i * 11);
    f.board2HighVoltage = 0x0102;
    f.board2HighVoltageAdjust = 0x0304;
    f.board2Threshold = 0x55;
    for (int i = 0; i < 10; ++i) f.advancedBlock[i] = static_cast<std::uint8_t>(0xC0 + i);
    f.measuringRange = 20000;
    f.tailThreshold = 0x0A0B;
    f.tailDistance = 0x0C0D;
    f.zeroAnglePosition = 1;
    f.echoMode = 1;
    f.horizontalOffset = 0xFF38;
    f.encoderZero = 0x1234;
    for (int i = 0; i < 32; ++i) f.verticalAngles[i] = static_cast<std::uint8_t>(0x80 + i);
    std::memcpy(f.serialText.data(), "K740P-2024-0001", 15);
    for (int i = 0; i < 10; ++i) f.versionPairs[i] = static_cast<std::uint8_t>(i + 1);
    f.board2Version = {{3, 0x12}};
    f.board3Version = {{20, 24, 5, 12, 1, 0x23}};
    return f;
}

}  // namespace k740test
