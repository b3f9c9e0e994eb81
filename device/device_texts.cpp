// Texts of the settings dialogs made from device information packet values.
#include "device/device_texts.h"

#include <QChar>

#include "platform/byte_order.h"

namespace k740 {

int displayedMotorSpeed(int rpm) { return rpm <= 100 ? 0 : rpm; }

QString motorSpeedText(int rpm) { return QString::number(displayedMotorSpeed(rpm)); }

QString gpsTimeText(const std::uint8_t* t) {
    return QStringLiteral("%1/%2/%3 %4:%5:%6")
        .arg(t[0] + 2000)
        .arg(t[1])
        .arg(t[2])
        .arg(t[3])
        .arg(t[4])
        .arg(t[5]);
}

QString ppsSetAngleText(const std::uint8_t* twoBytes) {
    return QString::number(readBE16(twoBytes) / 100.0, 'f', 2);
}

int signedPpsDeviation(int raw) {
    // The sensor's own rule: subtract 65535, not 65536.
    return raw >= 32767 ? raw - 65535 : raw;
}

double ppsDeviationDegrees(int raw) { return signedPpsDeviation(raw) / 100.0; }

QString ppsDeviationText(int raw) { return QString::number(ppsDeviationDegrees(raw)); }

QString boardTemperatureText(const std::uint8_t* twoBytes) {
    const auto celsius =
        static_cast<std::int16_t>(static_cast<std::uint16_t>(readBE16(twoBytes) - 50));
    return QString::number(static_cast<double>(celsius), 'f', 2);
}

QString stopTemperatureText(const std::uint8_t* twoBytes) {
    const std::uint16_t code = readBE16(twoBytes);
    if (code == 0) return QStringLiteral("0.00");
    return QString::number(code / 4096.0 * 330.0 - 50.0, 'f', 2);
}

QString board2VersionText(const std::uint8_t* b) {
    return QStringLiteral("V%1.%2.%3").arg(b[0]).arg(b[1] >> 4).arg(b[1] & 0x0F);
}

namespace {
// Board-3 version: date parts, then "-V", the separator and the three version parts.
QString board3Version(const std::uint8_t* b, const QString& afterV) {
    return QStringLiteral("%1%2.%3.%4-V").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]) + afterV +
           QStringLiteral("%1.%2.%3").arg(b[4]).arg(b[5] >> 4).arg(b[5] & 0x0F);
}
}  // namespace

QString board3VersionText(const std::uint8_t* b) { return board3Version(b, QStringLiteral(".")); }

QString board3VersionTextCompact(const std::uint8_t* b) { return board3Version(b, QString()); }

QString versionPairText(std::uint8_t major, std::uint8_t minor) {
    return QStringLiteral("V%1.%2").arg(major).arg(minor);
}

QString macText(const std::vector<int>& values) {
    QString text;
    for (std::size_t i = 0; i < 6 && i < values.size(); ++i) {
        if (i) text += QLatin1Char('-');
        text += QStringLiteral("%1").arg(values[i] & 0xFF, 2, 16, QLatin1Char('0'));
    }
    return text;
}

QString macText(const std::uint8_t* b) { return macText(std::vector<int>(b, b + 6)); }

QString serialText(const SettingData& data) {
    return QString::fromLatin1(data.serialText, static_cast<int>(kDevSerialTextSize));
}

QString positionText(const char* tenChars, char hemisphere) {
    return QString::fromLatin1(tenChars, 10) + QChar::fromLatin1(hemisphere);
}

QString board3ValuesText(const SettingData& data) {
    QString text;
    for (std::uint8_t v : data.board3Values) text += QString::number(v);
    return text;
}

}  // namespace k740
