// The device information packet: its byte layout, the SettingData record and the 19 status
// values decoded from it, and a packet writer for tests and the simulated sensor. The texts
// the settings dialogs make of these values are in device/device_texts.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The sensor's status as the settings dialogs keep it: a byte-packed record copied as a block.
// Byte arrays hold the packet bytes as they arrived; the int32 fields hold decoded numbers.
#pragma pack(push, 1)
struct SettingData {
    std::uint8_t destIp[4];         // packet 14-17
    std::uint8_t dataPortBytes[2];  // packet 24-25, big-endian as sent
    std::int32_t motorSpeed;        // packet 8-9, rpm
    std::int32_t motorState;        // packet 40-41: 0 run, 1 stop, 2 output-rate mode
    std::uint8_t gpsTime[6];        // packet 52-57: year - 2000, month, day, hour, minute, second
    std::int32_t packetInterval;    // packet 42-43
    std::uint8_t ppsSetAngle[2];    // packet 48-49, BE16 hundredths of a degree
    std::uint8_t ppsDeviation[2];   // packet 50-51, BE16 raw
    char latitude[10];              // packet 58-67
    char latitudeHemisphere;        // packet 78
    char longitude[10];             // packet 68-77
    char longitudeHemisphere;       // packet 79
    std::uint8_t boardTemperature[2];  // packet 80-81, BE16 code, degC = code - 50
    std::uint8_t lvdsState[2];         // packet 82-83, bit 0 of the second byte: 1 = not locked
    std::uint8_t reserved168;          // packet 168
    std::uint8_t reserved169;          // packet 169
    std::uint8_t reserved170[4];       // packet 170-173
    std::uint8_t reserved174[4];       // packet 174-177
    std::uint8_t board2Version[2];     // packet 1196-1197
    std::uint8_t board3Version[6];     // packet 1198-1203
    std::uint8_t verticalAngles[32];   // packet 245-276, channels 0-15, two bytes each
    std::uint8_t gpsState;             // packet 84
    std::uint8_t ppsState;             // packet 85
    std::uint8_t highTempPause;        // packet 86
    std::uint8_t stopTemperature[2];   // packet 87-88, BE16 ADC code
    std::uint8_t board3Values[10];     // packet 89-98
    char serialText[20];               // packet 1164-1183
    std::uint8_t versionPairs[5][2];   // packet 1184-1193, major and minor
};
#pragma pack(pop)
static_assert(sizeof(SettingData) == 149, "SettingData is copied as a 149-byte block");

namespace k740 {

// Device information packet: 1206 bytes, multi-byte numbers big-endian.
constexpr std::size_t kDevicePacketSize = 1206;
constexpr std::size_t kDeviceHeaderSize = 8;         // A5 FF 00 5A 11 11 55 55
constexpr std::size_t kDevMotorSpeed = 8;            // BE16, rpm
constexpr std::size_t kDevSensorIp = 10;             // 4 bytes, most significant octet first
constexpr std::size_t kDevDestIp = 14;               // 4 bytes, destination of the data stream
constexpr std::size_t kDevMac = 18;                  // 6 bytes
constexpr std::size_t kDevDataPort = 24;             // BE16
constexpr std::size_t kDevDevicePort = 26;           // BE16, where these packets go
constexpr std::size_t kDevNtpIp = 28;                // 4 bytes
constexpr std::size_t kDevGateway = 32;              // 4 bytes
constexpr std::size_t kDevSubnetMask = 36;           // 4 bytes
constexpr std::size_t kDevMotorState = 40;           // BE16: 0 run, 1 stop, 2 output-rate mode
constexpr std::size_t kDevPacketInterval = 42;       // BE16
constexpr std::size_t kDevSensorStatus = 44;         // BE16: 0 running, 1 sleeping
constexpr std::size_t kDevPpsSetAngle = 48;          // BE16, hundredths of a degree
constexpr std::size_t kDevPpsDeviation = 50;         // BE16, raw (signed by the 65535 rule)
constexpr std::size_t kDevGpsTime = 52;              // 6 bytes: year - 2000, month, day, h, m, s
constexpr std::size_t kDevLatitude = 58;             // 10 ASCII characters
constexpr std::size_t kDevLongitude = 68;            // 10 ASCII characters
constexpr std::size_t kDevLatitudeHemisphere = 78;   // 1 character
constexpr std::size_t kDevLongitudeHemisphere = 79;  // 1 character
constexpr std::size_t kDevBoardTemperature = 80;     // BE16 code, degC = code - 50
constexpr std::size_t kDevLvdsState = 82;            // 2 bytes; bit 0 of byte 83: 1 not locked
constexpr std::size_t kDevGpsState = 84;             // byte
constexpr std::size_t kDevPpsState = 85;             // byte
constexpr std::size_t kDevHighTempPause = 86;        // byte
constexpr std::size_t kDevStopTemperature = 87;      // BE16 ADC code
constexpr std::size_t kDevBoard3Values = 89;         // 10 bytes
constexpr std::size_t kDevBoard2HighVoltage = 99;    // BE16
constexpr std::size_t kDevBoard2HighVoltageAdjust = 101;  // BE16
constexpr std::size_t kDevBoard2Threshold = 103;          // byte
constexpr std::size_t kDevAdvancedBlock = 168;            // 10 bytes: 168, 169, 170-173, 174-177
constexpr std::size_t kDevAdvancedBlockSize = 10;
constexpr std::size_t kDevMeasuringRange = 178;     // BE16, range x 100
constexpr std::size_t kDevTailThreshold = 180;      // BE16
constexpr std::size_t kDevTailDistance = 182;       // BE16, cm
constexpr std::size_t kDevZeroAnglePosition = 184;  // byte
constexpr std::size_t kDevEchoMode = 185;           // byte
constexpr std::size_t kDevHorizontalOffset = 186;   // BE16, hundredths of a degree
constexpr std::size_t kDevEncoderZero = 194;        // BE16, hundredths of a degree
constexpr std::size_t kDevVerticalAngles = 245;     // 32 bytes, channels 0-15
constexpr std::size_t kDevVerticalAnglesSize = 32;
constexpr std::size_t kDevSerialText = 1164;  // 20 8-bit characters
constexpr std::size_t kDevSerialTextSize = 20;
constexpr std::size_t kDevVersionPairs = 1184;  // 5 x (major, minor)
constexpr std::size_t kDevVersionPairCount = 5;
constexpr std::size_t kDevBoard2Version = 1196;     // major; then minor.patch as nibbles
constexpr std::size_t kDevBoard3Version = 1198;     // 6 bytes, shown by board3VersionText
constexpr std::size_t kDevGenerationByte = 1202;    // fifth board-3 version part
constexpr std::uint8_t kEarlierGenerationMark = 3;  // value of byte 1202 on earlier sensors

// Earlier sensor generation: the network block sits elsewhere.
constexpr std::size_t kDevOldSensorIp = 8;     // 4 bytes
constexpr std::size_t kDevOldDataPort = 12;    // BE16
constexpr std::size_t kDevOldDestIp = 14;      // 4 bytes
constexpr std::size_t kDevOldDevicePort = 18;  // BE16
constexpr std::size_t kDevOldMotorSpeed = 20;  // BE16, rpm

// Number of status values sent beside the record.
constexpr std::size_t kStatusValueCount = 19;

using Ipv4 = std::array<std::uint8_t, 4>;
using DevicePacket = std::array<std::uint8_t, kDevicePacketSize>;

// Exactly 1206 bytes beginning with the device header.
bool isDevicePacket(const std::uint8_t* data, std::size_t length);

// The record and the 19 status values of a 1206-byte device information packet (main layout).
SettingData decodeSettingData(const std::uint8_t* packet);
std::vector<int> decodeStatusValues(const std::uint8_t* packet);

// Byte 1202 == 3: the sensor uses the earlier network block layout.
bool isEarlierGeneration(const std::uint8_t* packet);
bool isEarlierGeneration(const SettingData& data);

// Network block of the current layout, for the network settings dialog.
struct DeviceNetworkFields {
    Ipv4 sensorIp{};
    Ipv4 destIp{};
    std::array<std::uint8_t, 6> mac{};
    std::uint16_t dataPort = 0;
    std::uint16_t devicePort = 0;
    Ipv4 ntpIp{};
    Ipv4 gateway{};
    Ipv4 subnetMask{};
    std::uint16_t motorSpeed = 0;  // rpm
    std::uint16_t motorState = 0;  // 0 run, 1 stop, 2 output-rate mode
    std::uint16_t packetInterval = 0;
    std::uint16_t sensorStatus = 0;  // 0 running, 1 sleeping
};
DeviceNetworkFields decodeNetworkFields(const std::uint8_t* packet);

// Network block of the earlier generation.
struct EarlierNetworkFields {
    Ipv4 sensorIp{};
    std::uint16_t dataPort = 0;
    Ipv4 destIp{};
    std::uint16_t devicePort = 0;
    std::uint16_t motorSpeed = 0;  // rpm
};
EarlierNetworkFields decodeEarlierNetworkFields(const std::uint8_t* packet);

// "192.168.1.222"
std::string ipv4Text(const Ipv4& ip);
// The sensor's own address in a device information packet of either generation; empty when
// the bytes are not such a packet.
std::string sensorAddressText(const std::uint8_t* packet, std::size_t length);
std::string ipv4Text(const std::uint8_t* fourBytes);

// ---- Packet writer ----

// Every field the status path reads. Bytes not covered stay zero, or as in a base packet.
struct DevicePacketFields {
    std::uint16_t motorSpeed = 600;
    Ipv4 sensorIp{{192, 168, 1, 222}};
    Ipv4 destIp{{192, 168, 1, 102}};
    std::array<std::uint8_t, 6> mac{{0x60, 0x76, 0x88, 0x00, 0x00, 0x01}};
    std::uint16_t dataPort = 2368;
    std::uint16_t devicePort = 2369;
    Ipv4 ntpIp{};
    Ipv4 gateway{{192, 168, 1, 1}};
    Ipv4 subnetMask{{255, 255, 255, 0}};
    std::uint16_t motorState = 0;
    std::uint16_t packetInterval = 0;
    std::uint16_t sensorStatus = 0;
    std::uint16_t ppsSetAngle = 0;  // hundredths of a degree
    std::uint16_t ppsDeviationRaw = 0;
    std::array<std::uint8_t, 6> gpsTime{};  // year - 2000, month, day, hour, minute, second
    std::array<char, 10> latitude{};
    std::array<char, 10> longitude{};
    char latitudeHemisphere = 0;
    char longitudeHemisphere = 0;
    std::uint16_t boardTemperatureCode = 0;
    std::uint16_t lvdsState = 0;
    std::uint8_t gpsState = 0;
    std::uint8_t ppsState = 0;
    std::uint8_t highTempPause = 0;
    std::uint16_t stopTemperatureCode = 0;
    std::array<std::uint8_t, 10> board3Values{};
    std::uint16_t board2HighVoltage = 0;
    std::uint16_t board2HighVoltageAdjust = 0;
    std::uint8_t board2Threshold = 0;
    std::array<std::uint8_t, kDevAdvancedBlockSize> advancedBlock{};  // bytes 168-177
    std::uint16_t measuringRange = 0;                                 // x 100
    std::uint16_t tailThreshold = 0;
    std::uint16_t tailDistance = 0;  // cm
    std::uint8_t zeroAnglePosition = 0;
    std::uint8_t echoMode = 0;
    std::uint16_t horizontalOffset = 0;  // hundredths of a degree, as sent
    std::uint16_t encoderZero = 0;       // hundredths of a degree, as sent
    std::array<std::uint8_t, kDevVerticalAnglesSize> verticalAngles{};
    std::array<char, kDevSerialTextSize> serialText{};
    std::array<std::uint8_t, 2 * kDevVersionPairCount> versionPairs{};
    std::array<std::uint8_t, 2> board2Version{};
    std::array<std::uint8_t, 6> board3Version{};
};

// Writes the header and all fields over a zeroed packet, or over a copy of base.
DevicePacket buildDevicePacket(const DevicePacketFields& fields);
DevicePacket buildDevicePacket(const DevicePacketFields& fields, const DevicePacket& base);

}  // namespace k740
