// Vertical angle rules: channel rows, nominal angles, read-back and the angle packet.
#include "device/vertical_angles.h"

#include <cmath>
#include <cstring>

#include "acquisition/packet_format.h"
#include "device/typed_number.h"

namespace k740 {

const char* const kTitleAngleHint = "提示";
const char* const kTextAngleNoPacket = "连接错误";
const char* const kTextAngleRefreshed = "刷新成功";
const char* const kTextAngleSet = "设置成功";

namespace {

// Nominal angles by channel, degrees.
constexpr double kNominalMode0[kChannelCount] = {-15, 1, -13, 3,  -11, 5,  -9, 7,
                                                 -7,  9, -5,  11, -3,  13, -1, 15};
constexpr double kNominalMode1[kChannelCount] = {
    -10, 0.665, -8.665, 2, -7.33, 3.33, -6, 4.665, -4.665, 6, -3.33, 7.33, -2, 8.665, -0.665, 10};

// A nominal angle on the boundary of the allowed band still passes, however the binary
// subtraction rounds.
constexpr double kDeviationSlack = 1e-9;

bool validChannel(int c) { return c >= 0 && c < kChannelCount; }

}  // namespace

int rowOfChannel(int channel) {
    if (!validChannel(channel)) return -1;
    return channel % 2 == 0 ? channel / 2 : 8 + (channel - 1) / 2;
}

int channelOfRow(int row) {
    if (!validChannel(row)) return -1;
    return row < 8 ? 2 * row : 2 * (row - 8) + 1;
}

bool hasNominalAngles(int degreeMode) { return degreeMode == 0 || degreeMode == 1; }

double nominalAngle(int degreeMode, int channel) {
    if (!validChannel(channel)) return 0.0;
    if (degreeMode == 0) return kNominalMode0[channel];
    if (degreeMode == 1) return kNominalMode1[channel];
    return 0.0;
}

QString angleText(double degrees) { return QString::number(degrees, 'g', 6); }

std::uint16_t angleField(long long hundredths) {
    long long v = hundredths < 0 ? hundredths + 65535 : hundredths;
    // Two-byte conversion: 0, negative leftovers and values beyond 16 bits give 00 00.
    if (v <= 0 || v >= 65536) return 0;
    return static_cast<std::uint16_t>(v);
}

int angleFromField(std::uint16_t raw) { return raw > 32767 ? int(raw) - 65535 : int(raw); }

std::array<int, kChannelCount> reportedAngles(const SettingData& status) {
    std::array<int, kChannelCount> angles{};
    for (int c = 0; c < kChannelCount; ++c)
        angles[c] = angleFromField(readBE16(status.verticalAngles + 2 * c));
    return angles;
}

QString hundredthsText(int hundredths) {
    const int a = std::abs(hundredths);
    return QStringLiteral("%1%2.%3")
        .arg(hundredths < 0 ? QStringLiteral("-") : QString())
        .arg(a / 100)
        .arg(a % 100, 2, 10, QLatin1Char('0'));
}

QString deviationText(int row) {
    return QStringLiteral("设置：通道%1  偏差大于正负1.5，请重新输入").arg(row);
}

QString readBackDeviationText(int row) {
    return QStringLiteral("回读：通道%1  偏差大于正负1.5\n").arg(row);
}

QString notANumberText(int row, const QString& typed) {
    return QStringLiteral("设置：通道%1  角度“%2”不是数字，请重新输入").arg(row).arg(typed);
}

QString angleSendFailedText(const QString& address, const QString& why) {
    return QStringLiteral("设置失败：角度未能发送到 %1（%2）").arg(address, why);
}

AnglePacket buildVerticalAnglePacket(const DevicePacket& templ,
                                     const std::array<QString, kChannelCount>& setAngles,
                                     int degreeMode) {
    AnglePacket out;
    DevicePacket p = templ;
    std::memcpy(p.data(), kConfigHeader, sizeof kConfigHeader);
    std::memcpy(p.data() + kAngleMarkerOffset, kAngleMarker, sizeof kAngleMarker);
    for (int c = 0; c < kChannelCount; ++c) {
        const int row = rowOfChannel(c);
        const auto typed = typedDecimal(setAngles[c]);
        const auto hundredths = hundredthsAsTyped(setAngles[c]);
        if (!typed || !hundredths) {
            out.refusal =
                Refusal{QString::fromUtf8(kTitleAngleHint), notANumberText(row, setAngles[c])};
            out.refusedRow = row;
            return out;
        }
        if (std::fabs(*typed - nominalAngle(degreeMode, c)) >
            kMaxAngleDeviation + kDeviationSlack) {
            out.refusal = Refusal{QString::fromUtf8(kTitleAngleHint), deviationText(row)};
            out.refusedRow = row;
            return out;
        }
        writeBE16(p.data() + kDevVerticalAngles + 2 * c, angleField(*hundredths));
    }
    std::memset(p.data() + kAngleClearedOffset, 0, kAngleClearedSize);
    std::memcpy(p.data() + kConfigTrailerOffset, kConfigTrailer, sizeof kConfigTrailer);
    out.bytes = QByteArray(reinterpret_cast<const char*>(p.data()), static_cast<int>(p.size()));
    out.sensorAddress = QString::fromStdString(ipv4Text(templ.data() + kDevSensorIp));
    return out;
}

bool isVerticalAnglePacket(const std::uint8_t* data, std::size_t length) {
    return length == kDevicePacketSize &&
           std::memcmp(data, kConfigHeader, sizeof kConfigHeader) == 0 &&
           std::memcmp(data + kAngleMarkerOffset, kAngleMarker, sizeof kAngleMarker) == 0 &&
           std::memcmp(data + kConfigTrailerOffset, kConfigTrailer, sizeof kConfigTrailer) == 0;
}

}  // namespace k740
