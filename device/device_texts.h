// The texts made of the values of a device information packet: speed, time, PPS angles,
// temperatures, versions, MAC, serial and position, and the values a Refresh of the settings
// window shows. The settings dialogs, `k740-convert status` and the consumer library all show
// these texts (UTF-8). The packet's layout and decoding are in device/device_packet.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/device_packet.h"

namespace k740 {

// Measured speed: 100 rpm or less counts as standing still.
int displayedMotorSpeed(int rpm);
std::string motorSpeedText(int rpm);
// "2024/5/12 3:4:5": year byte + 2000, no leading zeros.
std::string gpsTimeText(const std::uint8_t* sixBytes);
// BE16 / 100, two decimals.
std::string ppsSetAngleText(const std::uint8_t* twoBytes);
// Raw BE16 read as signed: v >= 32767 gives v - 65535 (so FF FF is 0 and 7F FF is -32768).
int signedPpsDeviation(int raw);
double ppsDeviationDegrees(int raw);
// Degrees with up to six significant digits ("-327.67").
std::string ppsDeviationText(int raw);
// (code - 50) as signed 16-bit, two decimals.
std::string boardTemperatureText(const std::uint8_t* twoBytes);
// code / 4096 * 330 - 50, two decimals; a code of 0 shows "0.00".
std::string stopTemperatureText(const std::uint8_t* twoBytes);
// "V3.1.2" from major byte and minor/patch nibbles.
std::string board2VersionText(const std::uint8_t* twoBytes);
// "2024.5.12-V.1.2.3" (network settings dialog and About list) from the six board-3 bytes.
std::string board3VersionText(const std::uint8_t* sixBytes);
// "2024.5.12-V1.2.3" (advanced settings dialog).
std::string board3VersionTextCompact(const std::uint8_t* sixBytes);
// "V%1.%2"
std::string versionPairText(std::uint8_t major, std::uint8_t minor);
// "aa-bb-cc-dd-ee-ff" from status values 0..5 (or six MAC bytes).
std::string macText(const std::vector<int>& statusValues);
std::string macText(const std::uint8_t* sixBytes);
// The 20 serial bytes, each one Latin-1 character, zero bytes included.
std::string serialText(const SettingData& data);
// Ten position characters followed by the hemisphere character (Latin-1 bytes).
std::string positionText(const char* tenChars, char hemisphere);
// The ten board-3 bytes in decimal, without separators.
std::string board3ValuesText(const SettingData& data);

// The eight version texts of the About window: board-2, board-3, the 20 serial characters,
// the five version pairs.
std::vector<std::string> versionList(const SettingData& data);

// Index of the rotation speed item (5, 10, 20 Hz) for a measured speed (250-350, 550-650,
// 1150-1250, bounds included); -1 leaves the list as it is.
int rotationIndexForSpeed(int rpm);

// What a Refresh of the network settings shows.
struct RefreshValues {
    bool newGeneration = true;
    std::string sensorIp, destIp, dataPort, devicePort;
    std::optional<std::string> ntpIp, gateway, subnetMask;  // newer generation only
    int motorSpeed = 0;                                     // measured rpm
    int rotationIndex = -1;                                 // rotationIndexForSpeed
    int lidarStatus = 0;                                    // newer generation only
    std::optional<std::string> motorState;                  // "Run" / "Stop" / nullopt (unchanged)
    int packetInterval = 0;
    std::string mac;
};
// dataPort/devicePort: status values 7 and 8 (used by the newer generation).
RefreshValues refreshValues(const std::uint8_t* packet, int dataPort, int devicePort);

}  // namespace k740
