// The texts the settings dialogs show for the values of a device information packet: speed,
// time, PPS angles, temperatures, versions, MAC, serial and position. The packet's layout and
// decoding are in device/device_packet.h.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "device/device_packet.h"

namespace k740 {

// Measured speed: 100 rpm or less counts as standing still.
int displayedMotorSpeed(int rpm);
QString motorSpeedText(int rpm);
// "2024/5/12 3:4:5": year byte + 2000, no leading zeros.
QString gpsTimeText(const std::uint8_t* sixBytes);
// BE16 / 100, two decimals.
QString ppsSetAngleText(const std::uint8_t* twoBytes);
// Raw BE16 read as signed: v >= 32767 gives v - 65535 (so FF FF is 0 and 7F FF is -32768).
int signedPpsDeviation(int raw);
double ppsDeviationDegrees(int raw);
// Degrees with up to six significant digits ("-327.67").
QString ppsDeviationText(int raw);
// (code - 50) as signed 16-bit, two decimals.
QString boardTemperatureText(const std::uint8_t* twoBytes);
// code / 4096 * 330 - 50, two decimals; a code of 0 shows "0.00".
QString stopTemperatureText(const std::uint8_t* twoBytes);
// "V3.1.2" from major byte and minor/patch nibbles.
QString board2VersionText(const std::uint8_t* twoBytes);
// "2024.5.12-V.1.2.3" (network settings dialog and About list) from the six board-3 bytes.
QString board3VersionText(const std::uint8_t* sixBytes);
// "2024.5.12-V1.2.3" (advanced settings dialog).
QString board3VersionTextCompact(const std::uint8_t* sixBytes);
// "V%1.%2"
QString versionPairText(std::uint8_t major, std::uint8_t minor);
// "aa-bb-cc-dd-ee-ff" from status values 0..5 (or six MAC bytes).
QString macText(const std::vector<int>& statusValues);
QString macText(const std::uint8_t* sixBytes);
// The 20 serial bytes, each one Latin-1 character, zero bytes included.
QString serialText(const SettingData& data);
// Ten position characters followed by the hemisphere character.
QString positionText(const char* tenChars, char hemisphere);
// The ten board-3 bytes in decimal, without separators.
QString board3ValuesText(const SettingData& data);

}  // namespace k740
