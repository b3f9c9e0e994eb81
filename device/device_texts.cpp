// Texts made of device information packet values.
#include "device/device_texts.h"

#include "export/number_text.h"
#include "platform/byte_order.h"

namespace k740 {

namespace {

std::string number(int v) { return std::to_string(v); }

// Latin-1 bytes as UTF-8.
std::string fromLatin1(const char* bytes, std::size_t size) {
    std::string text;
    text.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

// Board-3 version: date parts, then "-V", the separator and the three version parts.
std::string board3Version(const std::uint8_t* b, const char* afterV) {
    return number(b[0]) + number(b[1]) + '.' + number(b[2]) + '.' + number(b[3]) + "-V" + afterV +
           number(b[4]) + '.' + number(b[5] >> 4) + '.' + number(b[5] & 0x0F);
}

}  // namespace

int displayedMotorSpeed(int rpm) { return rpm <= 100 ? 0 : rpm; }

std::string motorSpeedText(int rpm) { return number(displayedMotorSpeed(rpm)); }

std::string gpsTimeText(const std::uint8_t* t) {
    return number(t[0] + 2000) + '/' + number(t[1]) + '/' + number(t[2]) + ' ' + number(t[3]) + ':' +
           number(t[4]) + ':' + number(t[5]);
}

std::string ppsSetAngleText(const std::uint8_t* twoBytes) { return fixedText(readBE16(twoBytes) / 100.0, 2); }

int signedPpsDeviation(int raw) {
    // The sensor's own rule: subtract 65535, not 65536.
    return raw >= 32767 ? raw - 65535 : raw;
}

double ppsDeviationDegrees(int raw) { return signedPpsDeviation(raw) / 100.0; }

std::string ppsDeviationText(int raw) { return numberTextG(ppsDeviationDegrees(raw)); }

std::string boardTemperatureText(const std::uint8_t* twoBytes) {
    const auto celsius = static_cast<std::int16_t>(static_cast<std::uint16_t>(readBE16(twoBytes) - 50));
    return fixedText(static_cast<double>(celsius), 2);
}

std::string stopTemperatureText(const std::uint8_t* twoBytes) {
    const std::uint16_t code = readBE16(twoBytes);
    if (code == 0) return "0.00";
    return fixedText(code / 4096.0 * 330.0 - 50.0, 2);
}

std::string board2VersionText(const std::uint8_t* b) {
    return 'V' + number(b[0]) + '.' + number(b[1] >> 4) + '.' + number(b[1] & 0x0F);
}

std::string board3VersionText(const std::uint8_t* b) { return board3Version(b, "."); }

std::string board3VersionTextCompact(const std::uint8_t* b) { return board3Version(b, ""); }

std::string versionPairText(std::uint8_t major, std::uint8_t minor) {
    return 'V' + number(major) + '.' + number(minor);
}

std::string macText(const std::vector<int>& values) {
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < 6 && i < values.size(); ++i) {
        if (i) text += '-';
        text += kHex[(values[i] >> 4) & 0x0F];
        text += kHex[values[i] & 0x0F];
    }
    return text;
}

std::string macText(const std::uint8_t* b) { return macText(std::vector<int>(b, b + 6)); }

std::string serialText(const SettingData& data) { return fromLatin1(data.serialText, kDevSerialTextSize); }

std::string positionText(const char* tenChars, char hemisphere) {
    return fromLatin1(tenChars, 10) + fromLatin1(&hemisphere, 1);
}

std::string board3ValuesText(const SettingData& data) {
    std::string text;
    for (std::uint8_t v : data.board3Values) text += number(v);
    return text;
}

std::vector<std::string> versionList(const SettingData& d) {
    std::vector<std::string> list = {board2VersionText(d.board2Version), board3VersionText(d.board3Version),
                                     serialText(d)};
    for (const auto& pair : d.versionPairs) list.push_back(versionPairText(pair[0], pair[1]));
    return list;
}

int rotationIndexForSpeed(int rpm) {
    if (rpm >= 250 && rpm <= 350) return 0;
    if (rpm >= 550 && rpm <= 650) return 1;
    if (rpm >= 1150 && rpm <= 1250) return 2;
    return -1;
}

RefreshValues refreshValues(const std::uint8_t* p, int dataPort, int devicePort) {
    RefreshValues v;
    v.newGeneration = !isEarlierGeneration(p);
    if (v.newGeneration) {
        v.sensorIp = ipv4Text(p + kDevSensorIp);
        v.destIp = ipv4Text(p + kDevDestIp);
        if (p[0] == 0xA5 && p[1] == 0xFF) {
            v.ntpIp = ipv4Text(p + kDevNtpIp);
            v.gateway = ipv4Text(p + kDevGateway);
            v.subnetMask = ipv4Text(p + kDevSubnetMask);
        }
        v.dataPort = number(dataPort);
        v.devicePort = number(devicePort);
        v.motorSpeed = readBE16(p + kDevMotorSpeed);
        v.lidarStatus = readBE16(p + kDevSensorStatus);
        const int state = readBE16(p + kDevMotorState);
        if (state == 0) v.motorState = "Run";
        if (state == 1) v.motorState = "Stop";
        v.packetInterval = readBE16(p + kDevPacketInterval);
    } else {
        v.sensorIp = ipv4Text(p + kDevOldSensorIp);
        v.destIp = ipv4Text(p + kDevOldDestIp);
        v.dataPort = number(readBE16(p + kDevOldDataPort));
        v.devicePort = number(readBE16(p + kDevOldDevicePort));
        v.motorSpeed = readBE16(p + kDevOldMotorSpeed);
    }
    v.rotationIndex = rotationIndexForSpeed(v.motorSpeed);
    v.mac = macText(p + kDevMac);
    return v;
}

}  // namespace k740
