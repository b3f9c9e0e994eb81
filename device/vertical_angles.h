// The sixteen laser channels' vertical angles without widgets: where each channel sits in
// the tables (ordered by beam elevation), its nominal angle per degree mode, the angles a
// device information packet reports, the deviation check and the vertical angle packet that
// writes new angles. The calibration window, the channel selection table and the simulated
// sensor share these rules.
#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "device/device_packet.h"
#include "device/network_config.h"

namespace k740 {

constexpr int kChannelCount = 16;

// ---- Channels and rows ----

// Row of channel c in the tables: even channel 2k in row k, odd channel 2k+1 in row 8+k, so
// the rows run from the lowest beam to the highest. -1 outside 0..15.
int rowOfChannel(int channel);
// The channel shown in a row (the inverse of rowOfChannel). -1 outside 0..15.
int channelOfRow(int row);

// Degree modes 0 and 1 have nominal angles; any other mode counts every channel as 0.
bool hasNominalAngles(int degreeMode);
// Nominal vertical angle of a channel, degrees.
double nominalAngle(int degreeMode, int channel);
// An angle with up to six significant digits ("-15", "-8.665", "0.665").
QString angleText(double degrees);

// ---- Angles in device information packets ----

// Two bytes per channel, big-endian hundredths of a degree; a negative angle is sent with
// 65535 added (not 65536), so -0.50 travels as 65485 (FF CD).
std::uint16_t angleField(long long hundredths);
// The field read back: above 32767 the value minus 65535.
int angleFromField(std::uint16_t raw);
// The sixteen angles a status record reports, hundredths of a degree, by channel.
std::array<int, kChannelCount> reportedAngles(const SettingData& status);
// Hundredths with two decimals, exactly ("-0.50", "2.40").
QString hundredthsText(int hundredths);

// ---- The vertical angle packet ----

// 1206 bytes built on a copy of the last device information packet.
constexpr std::size_t kAngleMarkerOffset = 160;
constexpr std::uint8_t kAngleMarker[8] = {0x55, 0xAA, 0xAA, 0x55, 0x33, 0x33, 0x11, 0x11};
constexpr std::size_t kAngleClearedOffset = 277;  // 32 bytes written as 0
constexpr std::size_t kAngleClearedSize = 32;
// Largest accepted distance of a new angle from the channel's nominal angle, degrees.
constexpr double kMaxAngleDeviation = 1.5;

// Texts of the calibration window.
extern const char* const kTitleAngleHint;      // "提示"
extern const char* const kTextAngleNoPacket;   // "连接错误"
extern const char* const kTextAngleRefreshed;  // "刷新成功"
extern const char* const kTextAngleSet;        // "设置成功"
// "设置：通道" + row + "  偏差大于正负1.5，请重新输入"
QString deviationText(int row);
// "回读：通道" + row + "  偏差大于正负1.5\n"
QString readBackDeviationText(int row);
// A "Set Angle" that is empty or not a number, naming the row and what was typed.
QString notANumberText(int row, const QString& typed);
// The datagram did not leave.
QString angleSendFailedText(const QString& address, const QString& why);

struct AnglePacket {
    std::optional<Refusal> refusal;  // set: nothing to send
    int refusedRow = -1;             // the row the refusal names
    QByteArray bytes;                // 1206 bytes
    QString sensorAddress;           // template bytes 10-13; the packet goes to port 2368
};

// Builds the packet from the template and the "Set Angle" texts by channel. Channels are
// checked in order 0..15: a text that is not a number, or an angle more than 1.5 degrees from
// the channel's nominal angle, refuses the whole packet naming the channel's row.
AnglePacket buildVerticalAnglePacket(const DevicePacket& templ,
                                     const std::array<QString, kChannelCount>& setAngles,
                                     int degreeMode);

// A configuration datagram that writes vertical angles (header, marker and trailer).
bool isVerticalAnglePacket(const std::uint8_t* data, std::size_t length);

}  // namespace k740
