// Advanced settings rules: packet, checks, read-back, settings file, default network packet.
#include "device/advanced_config.h"

#include <cstring>

#include "device/device_texts.h"
#include "device/form_text.h"
#include "device/typed_number.h"
#include "platform/byte_order.h"

namespace k740 {

const char* const kTextNotRefreshed = "请先刷新数据否则再进行设置!";
const char* const kTextCaptureFailed = "抓包失败！!";
const char* const kTextNoLidar = "You didn't connect Lidar.";
const char* const kTextNoOffset = "请输入水平偏移角度!";
const char* const kTextNoRange = "请输入量程!";
const char* const kTextTailZero = "拖尾数据为0,或拖尾距离为0?";
const char* const kTextNoAdapter = "抓包失败,没有找到网卡！!";
const char* const kTextNoStatus = "设备包端口错误请检查!";
const char* const kTextSaveNoPacket = "抓包失败,请设置发包间隔为0!";
const char* const kTextOpenFileFailed = "打开文件失败,请检查!";
const char* const kTextResetCompleted = "Reset completed !";
const char* const kTextNumberEmpty = "The number can not be empty!";

namespace {

constexpr int kMaxHundredths = 32767;  // +-327.67 degrees in 16 bits

Refusal fieldRefusal(const char* label, const QString& text, const QString& want) {
    return Refusal{
        QString::fromLatin1(kTitleWarning),
        QStringLiteral("%1 \"%2\" cannot be sent: %3.").arg(QString::fromUtf8(label), text, want)};
}

Refusal errorRefusal(const char* text) {
    return Refusal{QString::fromLatin1(kTitleError), QString::fromUtf8(text)};
}

// A base-10 whole number as typed (blanks around it allowed), nothing else.
std::optional<long long> wholeNumber(const QString& text) {
    bool ok = false;
    const long long v = text.trimmed().toLongLong(&ok, 10);
    if (!ok) return std::nullopt;
    return v;
}

std::uint16_t twoBytes(int value) {
    std::uint8_t low = 0, high = 0;
    toTwoBytes(value, low, high);
    return static_cast<std::uint16_t>((high << 8) | low);
}

}  // namespace

void toTwoBytes(int value, std::uint8_t& low, std::uint8_t& high) {
    int v = 0;
    if (value > 0 && value < 65536)
        v = value;
    else if (value < 0 && value > -65536)
        v = 65536 + value;
    high = static_cast<std::uint8_t>(v >> 8);
    low = static_cast<std::uint8_t>(v & 0xFF);
}

AdvancedCheck checkAdvancedForm(const AdvancedForm& form) {
    AdvancedCheck c;
    AdvancedValues& v = c.values;

    if (!form.highReflect.isEmpty()) {
        const auto mm = typedDecimal(form.highReflect);
        if (!mm || *mm < 0 || *mm >= 65536.0) {
            c.refusal = fieldRefusal("高反补偿值（mm）", form.highReflect,
                                     QStringLiteral("it must be a number from 0 to 65535"));
            return c;
        }
        v.highReflect = static_cast<std::uint16_t>(*mm);  // the whole part
    }

    if (form.offsetAngle.isEmpty()) {
        c.refusal = errorRefusal(kTextNoOffset);
        return c;
    }
    const auto offset = hundredthsAsTyped(form.offsetAngle);
    if (!offset || *offset > kMaxHundredths || *offset < -kMaxHundredths) {
        c.refusal = fieldRefusal("水平偏移角度", form.offsetAngle,
                                 QStringLiteral("it must be a number from -327.67 to 327.67"));
        return c;
    }
    v.offsetAngle = static_cast<std::uint16_t>(*offset & 0xFFFF);  // two's complement

    if (form.range.isEmpty()) {
        c.refusal = errorRefusal(kTextNoRange);
        return c;
    }
    const auto range = wholeNumber(form.range);
    if (!range || *range < 0 || *range > 65535 / 100) {
        c.refusal = fieldRefusal("测量量程", form.range,
                                 QStringLiteral("it must be a whole number from 0 to 655"));
        return c;
    }
    v.range = twoBytes(static_cast<int>(*range * 100));

    const QString* tails[2] = {&form.tailThreshold, &form.tailDistance};
    const char* tailLabels[2] = {"消拖尾阈值", "消拖尾距离(cm)"};
    std::uint16_t* tailOut[2] = {&v.tailThreshold, &v.tailDistance};
    for (int i = 0; i < 2; ++i) {
        if (tails[i]->trimmed().isEmpty()) {  // read as 0: the operator is asked
            *tailOut[i] = 0;
            continue;
        }
        const auto n = wholeNumber(*tails[i]);
        if (!n || *n < 0 || *n > 65535) {
            c.refusal = fieldRefusal(tailLabels[i], *tails[i],
                                     QStringLiteral("it must be a whole number from 0 to 65535"));
            return c;
        }
        *tailOut[i] = static_cast<std::uint16_t>(*n);
    }
    v.tailZero = v.tailThreshold == 0 || v.tailDistance == 0;

    if (!form.calibrationAngle.isEmpty()) {
        const auto cal = hundredthsAsTyped(form.calibrationAngle);
        if (!cal || *cal > kMaxHundredths || *cal < -kMaxHundredths) {
            c.refusal = fieldRefusal("码盘零度校准", form.calibrationAngle,
                                     QStringLiteral("it must be a number from -327.67 to 327.67"));
            return c;
        }
        // The sensor takes a negative calibration with 65535 added (not 65536).
        const int raw = *cal < 0 ? static_cast<int>(*cal) + 65535 : static_cast<int>(*cal);
        v.calibration = twoBytes(raw);
    }

    v.zeroPosition = form.zeroPosition;
    v.echoMode = form.echoMode;
    if (form.rotateSpeed == QLatin1String(kRotationItems[0]))
        v.rpm = kRotationRpm[0];
    else if (form.rotateSpeed == QLatin1String(kRotationItems[1]))
        v.rpm = kRotationRpm[1];
    else
        v.rpm = kRotationRpm[2];
    return c;
}

std::optional<CapturedDevicePacket> devicePacketFromFrame(const std::uint8_t* frame,
                                                          std::size_t length, bool fullHeader) {
    constexpr std::size_t kPayload = 42;
    if (frame == nullptr || length != kPayload + kDevicePacketSize) return std::nullopt;
    const std::uint8_t* p = frame + kPayload;
    if (p[0] != 0xA5 || p[1] != 0xFF) return std::nullopt;
    if (fullHeader && (p[2] != 0x00 || p[3] != 0x5A)) return std::nullopt;
    CapturedDevicePacket c;
    std::memcpy(c.payload.data(), p, kDevicePacketSize);
    std::memcpy(c.sourceIp.data(), frame + 26, 4);
    std::memcpy(c.destIp.data(), frame + 30, 4);
    c.sourcePort = readBE16(frame + 34);
    return c;
}

QByteArray buildAdvancedPacket(const CapturedDevicePacket& captured, int motorState,
                               const AdvancedValues& v, const LocalTime& now) {
    DevicePacket packet = captured.payload;
    std::uint8_t* p = packet.data();
    std::memcpy(p, kAdvancedHeader, sizeof kAdvancedHeader);
    writeBE16(p + kCfgRotationSpeed, static_cast<std::uint16_t>(v.rpm));
    std::memcpy(p + kAdvSensorIp, captured.sourceIp.data(), 4);
    std::memcpy(p + kAdvHostIp, captured.destIp.data(), 4);
    p[kAdvMotorState] = 0;
    p[kAdvMotorState + 1] =
        static_cast<std::uint8_t>(motorState == 0 || motorState == 1 ? motorState : 2);
    const int t[6] = {now.year - 2000, now.month, now.day, now.hour, now.minute, now.second};
    for (int i = 0; i < 6; ++i) p[kCfgLocalTime + i] = static_cast<std::uint8_t>(t[i]);
    if (v.highReflect) writeBE16(p + kAdvHighReflect, twoBytes(*v.highReflect));
    std::memcpy(p + kAdvMarker, kAdvancedMarker, sizeof kAdvancedMarker);
    if (v.zeroPosition == 0 || v.zeroPosition == 1)
        p[kAdvZeroPosition] = static_cast<std::uint8_t>(v.zeroPosition);
    if (v.echoMode == 0 || v.echoMode == 1) p[kAdvEchoMode] = static_cast<std::uint8_t>(v.echoMode);
    writeBE16(p + kAdvOffsetAngle, v.offsetAngle);
    writeBE16(p + kAdvRange, v.range);
    writeBE16(p + kAdvTailThreshold, twoBytes(v.tailThreshold));
    writeBE16(p + kAdvTailDistance, twoBytes(v.tailDistance));
    if (v.calibration) writeBE16(p + kAdvCalibration, *v.calibration);
    std::memcpy(p + kConfigTrailerOffset, kConfigTrailer, sizeof kConfigTrailer);
    return QByteArray(reinterpret_cast<const char*>(p), static_cast<int>(packet.size()));
}

QString hundredthsAsDegreesText(int hundredths) {
    return QString::number(hundredths / 100.0, 'g', 6);
}

AdvancedReadback advancedReadback(const SettingData& data, const std::vector<int>& s,
                                  const std::uint8_t* captured) {
    AdvancedReadback r;
    if (s.size() < kStatusValueCount) return r;
    r.range = hundredthsAsDegreesText(s[9]);
    r.tailThreshold = QString::number(s[10]);
    r.tailDistance = QString::number(s[11]);
    r.highReflect = QString::number(readBE16(captured + kAdvHighReflect));
    if (s[12] == 0 || s[12] == 1) r.zeroPosition = s[12];
    if (s[13] == 0 || s[13] == 1) r.echoMode = s[13];
    r.offsetAngle = hundredthsAsDegreesText(s[14] > 32767 ? s[14] - 65536 : s[14]);
    r.calibrationAngle = hundredthsAsDegreesText(s[15] > 32767 ? s[15] - 65535 : s[15]);
    r.board2Version = k740::qtText(board2VersionText(data.board2Version));
    r.board3Version = k740::qtText(board3VersionTextCompact(data.board3Version));
    r.rotationIndex = rotationIndexForSpeed(data.motorSpeed);
    return r;
}

QByteArray settingsFileText(const std::uint8_t* packet, std::size_t length) {
    static const char kHex[] = "0123456789abcdef";
    QByteArray out;
    out.reserve(static_cast<int>(length * 3));
    for (std::size_t i = 0; i < length; ++i) {
        out += kHex[packet[i] >> 4];
        out += kHex[packet[i] & 0x0F];
        out += ' ';
    }
    return out;
}

QByteArray defaultNetworkPacket(const LocalTime& now) {
    DevicePacket packet{};
    std::uint8_t* p = packet.data();
    std::memcpy(p, kConfigHeader, sizeof kConfigHeader);
    writeBE16(p + kCfgRotationSpeed, kDefaultRpm);
    std::memcpy(p + kDevSensorIp, kDefaultSensorIp, 4);
    std::memcpy(p + kDevDestIp, kDefaultDestIp, 4);
    writeBE16(p + kDevDataPort, kDefaultDataPort);
    writeBE16(p + kDevDevicePort, kDefaultDevicePort);
    const int t[6] = {now.year - 2000, now.month, now.day, now.hour, now.minute, now.second};
    for (int i = 0; i < 6; ++i) p[kCfgLocalTime + i] = static_cast<std::uint8_t>(t[i]);
    std::memcpy(p + kConfigTrailerOffset, kConfigTrailer, sizeof kConfigTrailer);
    return QByteArray(reinterpret_cast<const char*>(p), static_cast<int>(packet.size()));
}

RestoreTarget restoreTarget(const QString& address, const QString& port) {
    RestoreTarget r;
    if (!parseIpv4(address)) {
        r.refusal =
            fieldRefusal("Dest IP", address,
                         QStringLiteral("it must be four numbers from 0 to 255 separated by dots"));
        return r;
    }
    const auto n = typedPort(port);
    if (!n) {
        r.refusal = fieldRefusal("Dest Port", port,
                                 QStringLiteral("it must be a whole number from 1 to 65535"));
        return r;
    }
    r.address = address.trimmed();
    r.port = *n;
    return r;
}

}  // namespace k740
