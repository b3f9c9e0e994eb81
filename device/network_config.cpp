// Configuration packets, checks and auto-fill rules of the network settings.
#include "device/network_config.h"

#include <QDateTime>
#include <cstring>
#include <utility>

#include "acquisition/packet_format.h"
#include "device/device_texts.h"
#include "device/typed_number.h"

namespace k740 {

const char* const kRotationItems[3] = {" 5 HZ", " 10 HZ", " 20 HZ"};

const char* const kTitleWarring = "warring";
const char* const kTitleWarning = "Warning";
const char* const kTitleTips = "Tips";
const char* const kTitleError = "error";
const char* const kTitleQuestion = "Question";
const char* const kTextSameAddress =
    "The Lidar local IP cannot be set to the same as the destination IP.Please reset it !";
const char* const kTextNoDevicePacket = "Please check the device package port !";
const char* const kTextSetupCompleted = "Setup completed";
const char* const kTextRefreshCompleted = "Resresh completed";
const char* const kTextMaskInvalid =
    "The subnet mask entered is invalid. The subnet mask must be contiguous, please re-enter the "
    "subnet mask.";
const char* const kTextGatewayOutside =
    "The gateway is not on the same network segment (subnet) defined by the IP address and subnet "
    "mask. Please reset it.";
const char* const kTextFirstOctet =
    "%1 is not a valid item in the first paragraph. Please specify a value between 1 and 223.";
const char* const kTextCloseQuestion = "Whether to close the Settings form ?";
const char* const kTextSendFailed = "The settings could not be sent to %1: %2";

namespace {

// Exactly four parts of decimal digits, each 0-255.
bool splitOctets(const QString& text, int out[4]) {
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4) return false;
    for (int i = 0; i < 4; ++i) {
        const QString& p = parts[i];
        if (p.isEmpty() || p.size() > 3) return false;
        for (QChar c : p)
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
        out[i] = p.toInt();
        if (out[i] > 255) return false;
    }
    return true;
}

// A port field: used when not empty and 1024 < value < 65536.
std::optional<std::uint16_t> portField(const QString& text) {
    const auto port = typedPort(text);
    if (!port || *port <= 1024) return std::nullopt;
    return port;
}

QString invalidAddressText(const char* field, const QString& text) {
    return QStringLiteral(
               "%1 \"%2\" is not a valid IP address. Please enter four numbers from 0 to 255 "
               "separated by dots.")
        .arg(QLatin1String(field), text);
}

// Address fields that the packet carries: empty keeps its meaning, anything else must parse.
struct AddressField {
    const char* label;
    const QString* text;
    std::optional<Ipv4> value;
};

std::optional<Refusal> parseAddresses(AddressField* fields, int count) {
    for (int i = 0; i < count; ++i) {
        AddressField& f = fields[i];
        if (f.text->isEmpty()) continue;
        f.value = parseIpv4(*f.text);
        if (!f.value)
            return Refusal{QString::fromLatin1(kTitleWarning),
                           invalidAddressText(f.label, *f.text)};
    }
    return std::nullopt;
}

std::optional<int> wholeNumber(const QString& text, int lo, int hi) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < lo || v > hi) return std::nullopt;
    return v;
}

void putIp(std::uint8_t* p, const Ipv4& ip) { std::memcpy(p, ip.data(), 4); }

}  // namespace

int rotationRpm(const QString& item) {
    for (int i = 0; i < 3; ++i)
        if (item == QLatin1String(kRotationItems[i])) return kRotationRpm[i];
    return 600;
}

LocalTime currentLocalTime() {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return LocalTime{d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
}

std::optional<Ipv4> parseIpv4(const QString& text) {
    int o[4];
    if (!splitOctets(text, o)) return std::nullopt;
    return Ipv4{{static_cast<std::uint8_t>(o[0]), static_cast<std::uint8_t>(o[1]),
                 static_cast<std::uint8_t>(o[2]), static_cast<std::uint8_t>(o[3])}};
}

ConfigPacket buildConfigPacket(DevicePacket& device, bool newGeneration, const NetworkForm& form,
                               const LocalTime& now) {
    ConfigPacket out;
    if (sameAddressRefused(form)) {
        out.refusal =
            Refusal{QString::fromLatin1(kTitleWarring), QString::fromLatin1(kTextSameAddress)};
        return out;
    }
    AddressField fields[] = {{"Lidar IP", &form.sensorIp, {}},
                             {"Dest IP", &form.destIp, {}},
                             {"Subnet Mask", &form.subnetMask, {}},
                             {"default gateway", &form.gateway, {}},
                             {"NTP IP", &form.ntpIp, {}}};
    if (auto r = parseAddresses(fields, newGeneration ? 5 : 2)) {
        out.refusal = r;
        return out;
    }
    const std::optional<Ipv4>& sensorIp = fields[0].value;
    const std::optional<Ipv4>& destIp = fields[1].value;
    // A port that is typed must be one the packet can carry: sending the old one instead
    // would report a change that never happens. An empty field keeps the device's port.
    for (const auto& [label, text] : {std::pair<const char*, const QString*>{"Data Port", &form.dataPort},
                                      {"device Port", &form.devicePort}}) {
        if (text->trimmed().isEmpty() || portField(*text)) continue;
        out.refusal = Refusal{QString::fromLatin1(kTitleWarning),
                              QStringLiteral("%1 \"%2\" is not a port the sensor can take: type a "
                                             "whole number from 1025 to 65535.")
                                  .arg(QLatin1String(label), text->trimmed())};
        return out;
    }
    const std::uint16_t rpm = static_cast<std::uint16_t>(rotationRpm(form.rotateSpeed));

    if (!newGeneration) {
        std::array<std::uint8_t, kEarlierConfigSize> packet{};
        std::uint8_t* p = packet.data();
        std::memcpy(p, kEarlierConfigHeader, sizeof kEarlierConfigHeader);
        std::memcpy(p + kEcfgSensorIp,
                    sensorIp ? sensorIp->data() : device.data() + kDevOldSensorIp, 4);
        if (auto port = portField(form.dataPort))
            writeBE16(p + kEcfgDataPort, *port);
        else
            std::memcpy(p + kEcfgDataPort, device.data() + kDevOldDataPort, 2);
        std::memcpy(p + kEcfgDestIp, destIp ? destIp->data() : device.data() + kDevOldDestIp, 4);
        if (auto port = portField(form.devicePort))
            writeBE16(p + kEcfgDevicePort, *port);
        else
            std::memcpy(p + kEcfgDevicePort, device.data() + kDevOldDevicePort, 2);
        writeBE16(p + kEcfgRotationSpeed, rpm);
        std::memcpy(p + kEcfgTrailer, kEarlierConfigTrailer, sizeof kEarlierConfigTrailer);
        out.bytes = QByteArray(reinterpret_cast<const char*>(p), static_cast<int>(packet.size()));
        out.sensorAddress = QString::fromStdString(ipv4Text(device.data() + kDevOldSensorIp));
        return out;
    }

    // Mask and gateway are checked on every Set, not only after an edit: a gateway outside
    // the subnet (or a broken mask) can cut the sensor off the network. An empty field keeps
    // the device's bytes, which stand in for it in the gateway check.
    const QString mask = form.subnetMask.isEmpty() ? QString::fromStdString(ipv4Text(device.data() + kDevSubnetMask))
                                                   : form.subnetMask;
    const QString dest = form.destIp.isEmpty() ? QString::fromStdString(ipv4Text(device.data() + kDevDestIp)) : form.destIp;
    if (!form.subnetMask.isEmpty()) {
        const CheckResult r = checkSubnetMask(form.subnetMask);
        if (!r.ok) {
            out.refusal = Refusal{QString::fromLatin1(kTitleWarning), r.warning};
            return out;
        }
    }
    if (!form.gateway.isEmpty()) {
        const CheckResult r = checkGateway(form.gateway, dest, mask);
        if (!r.ok) {
            out.refusal = Refusal{QString::fromLatin1(kTitleWarning), r.warning};
            return out;
        }
    }

    std::optional<int> ppsAngle;
    if (!form.ppsAngle.trimmed().isEmpty()) {
        ppsAngle = wholeNumber(form.ppsAngle, 0, 360);
        if (!ppsAngle) {
            out.refusal =
                Refusal{QString::fromLatin1(kTitleWarning),
                        QStringLiteral("Settting PPS Angel \"%1\" is not a whole number of "
                                       "degrees from 0 to 360.")
                            .arg(form.ppsAngle)};
            return out;
        }
    }
    std::optional<int> interval;
    if (!form.packetInterval.trimmed().isEmpty()) {
        interval = wholeNumber(form.packetInterval, 0, 65535);
        if (!interval) {
            out.refusal =
                Refusal{QString::fromLatin1(kTitleWarning),
                        QStringLiteral("Packet interval \"%1\" is not a whole number from 0 "
                                       "to 65535.")
                            .arg(form.packetInterval)};
            return out;
        }
    }

    // A sensor announcing the all-ones address is reached at the fallback address; the window
    // keeps the replacement in its copy of the device packet.
    static const std::uint8_t kAllOnes[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    if (std::memcmp(device.data() + kDevSensorIp, kAllOnes, 4) == 0)
        putIp(device.data() + kDevSensorIp, kFallbackSensorIp);

    DevicePacket packet = device;
    std::uint8_t* p = packet.data();
    std::memcpy(p, kConfigHeader, sizeof kConfigHeader);
    writeBE16(p + kCfgRotationSpeed, rpm);
    if (sensorIp) putIp(p + kDevSensorIp, *sensorIp);
    if (destIp) putIp(p + kDevDestIp, *destIp);
    // The MAC field is filled by a status delivery; empty (after the window was cleared) keeps
    // the device's own MAC instead of the fixed one.
    if (form.mac.size() == 17) {
        for (int i = 0; i < 6; ++i)
            p[kDevMac + i] = static_cast<std::uint8_t>(form.mac.mid(3 * i, 2).toUInt(nullptr, 16));
    } else if (!form.mac.isEmpty()) {
        std::memcpy(p + kDevMac, kFallbackMac.data(), kFallbackMac.size());
    }
    if (auto port = portField(form.dataPort)) writeBE16(p + kDevDataPort, *port);
    if (auto port = portField(form.devicePort)) writeBE16(p + kDevDevicePort, *port);
    putIp(p + kDevNtpIp, fields[4].value.value_or(Ipv4{}));
    // An emptied mask or gateway keeps the device's bytes: 0.0.0.0 could leave the sensor
    // unreachable.
    if (fields[3].value) putIp(p + kDevGateway, *fields[3].value);
    if (fields[2].value) putIp(p + kDevSubnetMask, *fields[2].value);
    writeBE16(p + kDevMotorState, form.motorState == QLatin1String("Stop") ? 1 : 0);
    if (interval) writeBE16(p + kDevPacketInterval, static_cast<std::uint16_t>(*interval));
    writeBE16(p + kDevSensorStatus, form.lidarStatus == 1 ? 1 : 0);
    if (ppsAngle) writeBE16(p + kDevPpsSetAngle, static_cast<std::uint16_t>(*ppsAngle * 100));
    std::uint8_t* t = p + kCfgLocalTime;
    if (form.localTime) {
        t[0] = static_cast<std::uint8_t>(now.year - 2000);
        t[1] = static_cast<std::uint8_t>(now.month);
        t[2] = static_cast<std::uint8_t>(now.day);
        t[3] = static_cast<std::uint8_t>(now.hour);
        t[4] = static_cast<std::uint8_t>(now.minute);
        t[5] = static_cast<std::uint8_t>(now.second);
    } else {
        std::memset(t, 0, 6);
    }
    std::memcpy(p + kConfigTrailerOffset, kConfigTrailer, sizeof kConfigTrailer);
    out.bytes = QByteArray(reinterpret_cast<const char*>(p), static_cast<int>(packet.size()));
    out.sensorAddress = QString::fromStdString(ipv4Text(device.data() + kDevSensorIp));
    return out;
}

bool sameAddressRefused(const NetworkForm& form) {
    return !form.destIp.isEmpty() && form.destIp == form.sensorIp;
}

CheckResult checkSubnetMask(const QString& mask) {
    CheckResult r;
    if (mask.isEmpty()) return r;
    int o[4];
    if (!splitOctets(mask, o)) {
        r.warning = QString::fromLatin1(kTextMaskInvalid);
        return r;
    }
    const std::uint32_t m = (std::uint32_t(o[0]) << 24) | (std::uint32_t(o[1]) << 16) |
                            (std::uint32_t(o[2]) << 8) | std::uint32_t(o[3]);
    // Contiguous: the ones fill up to the lowest set bit (0.0.0.0 passes through the wrap).
    r.ok = (m | (m - 1u)) == 0xFFFFFFFFu;
    if (!r.ok) r.warning = QString::fromLatin1(kTextMaskInvalid);
    return r;
}

CheckResult checkGateway(const QString& gateway, const QString& destIp, const QString& mask) {
    CheckResult r;
    if (gateway.isEmpty() || destIp.isEmpty() || mask.isEmpty()) return r;
    int g[4], d[4], m[4];
    bool same = splitOctets(gateway, g) && splitOctets(destIp, d) && splitOctets(mask, m);
    for (int i = 0; same && i < 4; ++i) same = (d[i] & m[i]) == (g[i] & m[i]);
    r.ok = same;
    if (!same) r.warning = QString::fromLatin1(kTextGatewayOutside);
    return r;
}

CheckResult checkFirstOctet(const QString& address) {
    CheckResult r;
    if (address.isEmpty()) return r;
    int o[4];
    if (splitOctets(address, o)) {
        if (o[0] >= 1 && o[0] <= 223) {
            r.ok = true;
            return r;
        }
        r.newText = QStringLiteral("223.%1.%2.%3").arg(o[1]).arg(o[2]).arg(o[3]);
        r.warning = QString::fromLatin1(kTextFirstOctet).arg(o[0]);
        return r;
    }
    // A partial address fails with the warning about what it has as its first part.
    r.warning = QString::fromLatin1(kTextFirstOctet).arg(address.section(QLatin1Char('.'), 0, 0));
    return r;
}

std::optional<QString> maskOnFocus(const QString& current, const QString& destIp) {
    if (!current.isEmpty() || destIp.isEmpty()) return std::nullopt;
    int d[4];
    if (!splitOctets(destIp, d)) return QString();
    if (d[0] >= 1 && d[0] <= 126) return QStringLiteral("255.0.0.0");
    if (d[0] >= 128 && d[0] <= 191) return QStringLiteral("255.255.0.0");
    if (d[0] >= 192 && d[0] <= 223) return QStringLiteral("255.255.255.0");
    return QString();
}

std::optional<QString> gatewayOnFocus(const QString& current, const QString& destIp,
                                      const QString& mask) {
    if (!current.isEmpty()) return std::nullopt;
    int d[4], m[4];
    if (!splitOctets(destIp, d) || !splitOctets(mask, m)) return std::nullopt;
    return QStringLiteral("%1.%2.%3.1").arg(d[0] & m[0]).arg(d[1] & m[1]).arg(d[2] & m[2]);
}

NetworkForm formFromDevicePacket(const std::uint8_t* p) {
    const RefreshValues v =
        refreshValues(p, readBE16(p + kDevDataPort), readBE16(p + kDevDevicePort));
    NetworkForm f;
    f.sensorIp = QString::fromStdString(v.sensorIp);
    f.destIp = QString::fromStdString(v.destIp);
    f.dataPort = QString::fromStdString(v.dataPort);
    f.devicePort = QString::fromStdString(v.devicePort);
    f.ntpIp = QString::fromStdString(v.ntpIp.value_or(std::string()));
    f.gateway = QString::fromStdString(v.gateway.value_or(std::string()));
    f.subnetMask = QString::fromStdString(v.subnetMask.value_or(std::string()));
    f.mac = QString::fromStdString(v.mac);
    if (v.newGeneration) f.packetInterval = QString::number(v.packetInterval);
    if (v.rotationIndex >= 0) f.rotateSpeed = QString::fromLatin1(kRotationItems[v.rotationIndex]);
    f.motorState = QString::fromStdString(v.motorState.value_or("Run"));
    f.lidarStatus = v.lidarStatus == 1 ? 1 : 0;
    return f;
}

}  // namespace k740
