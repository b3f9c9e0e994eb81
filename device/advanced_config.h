// Advanced settings without widgets: the advanced configuration packet built on a captured
// device information packet, the checks of the typed values, what a Refresh shows, the
// settings file and the default network packet of "Restore Laser set".
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "device/device_packet.h"
#include "device/network_config.h"

namespace k740 {

// Advanced configuration packet: 1206 bytes on a copy of the captured device packet.
constexpr std::uint8_t kAdvancedHeader[8] = {0xAA, 0x00, 0xFF, 0x11, 0x22, 0x22, 0xBB, 0xBB};
constexpr std::uint8_t kAdvancedMarker[8] = {0x55, 0xAA, 0xAA, 0x55, 0x33, 0x33, 0x11, 0x11};
constexpr std::size_t kAdvSensorIp = 10;        // 4 bytes, the captured frame's source
constexpr std::size_t kAdvHostIp = 14;          // 4 bytes, the captured frame's destination
constexpr std::size_t kAdvMotorState = 40;      // 0, then 0 / 1 / 2
constexpr std::size_t kAdvHighReflect = 104;    // BE16, mm
constexpr std::size_t kAdvMarker = 160;         // 8 bytes
constexpr std::size_t kAdvRange = 178;          // BE16, range x 100
constexpr std::size_t kAdvTailThreshold = 180;  // BE16
constexpr std::size_t kAdvTailDistance = 182;   // BE16, cm
constexpr std::size_t kAdvZeroPosition = 184;   // 0 cable end, 1 straight ahead
constexpr std::size_t kAdvEchoMode = 185;       // 0 single, 1 dual
constexpr std::size_t kAdvOffsetAngle = 186;    // BE16, hundredths of a degree, two's complement
constexpr std::size_t kAdvCalibration = 194;    // BE16, hundredths of a degree (see below)

// Default network packet of "Restore Laser set".
constexpr std::uint8_t kDefaultSensorIp[4] = {192, 168, 1, 222};
constexpr std::uint8_t kDefaultDestIp[4] = {192, 168, 1, 125};
constexpr std::uint16_t kDefaultRpm = 300;
constexpr std::uint16_t kDefaultDataPort = 2368;
constexpr std::uint16_t kDefaultDevicePort = 2369;

// Two-byte conversion, high byte first: 0 or |v| >= 65536 give 00 00, a positive v itself,
// -65536 < v < 0 gives 65536 - |v|.
void toTwoBytes(int value, std::uint8_t& low, std::uint8_t& high);

// What the advanced window holds when Set is pressed.
struct AdvancedForm {
    QString highReflect;       // lineEdit_HighReflect, mm; empty keeps the sensor's bytes
    QString range;             // lineEdit_21, whole metres
    QString tailThreshold;     // lineEdit_tw
    QString tailDistance;      // lineEdit_twjl, cm
    QString offsetAngle;       // lineEdit_deviationAngle, degrees
    QString calibrationAngle;  // lineEdit_MaPanAngle, degrees; empty keeps the sensor's bytes
    int zeroPosition = 0;      // comboBox_Zero_degree_position index
    int echoMode = 0;          // comboBox_SingleOrDouble index
    QString rotateSpeed = QString::fromLatin1(" 20 HZ");  // comboBox_rotateSpeed text
};

// The checked values, as the packet carries them.
struct AdvancedValues {
    std::optional<std::uint16_t> highReflect;
    std::uint16_t range = 0;  // x 100
    std::uint16_t tailThreshold = 0;
    std::uint16_t tailDistance = 0;
    std::uint16_t offsetAngle = 0;  // two's complement hundredths
    std::optional<std::uint16_t> calibration;
    int zeroPosition = 0;
    int echoMode = 0;
    int rpm = 1200;
    bool tailZero = false;  // the threshold or the distance is 0: the operator is asked
};

struct AdvancedCheck {
    std::optional<Refusal> refusal;  // set: nothing is sent
    AdvancedValues values;
};

// Checks the typed values. Refuses an empty offset or range with the window's own texts,
// and (warning naming the field) what the packet cannot carry: a range that is not a whole
// number 0-655, tail values that are not whole numbers 0-65535, offset or calibration angles
// that are not decimal numbers within +-327.67, a high-reflect compensation that is not a
// number 0-65535 (its whole part is sent).
AdvancedCheck checkAdvancedForm(const AdvancedForm& form);

// The device information packet found in a captured Ethernet frame.
struct CapturedDevicePacket {
    DevicePacket payload{};
    Ipv4 sourceIp{};
    Ipv4 destIp{};
    std::uint16_t sourcePort = 0;
};
// A frame of 1248 bytes whose UDP payload begins A5 FF 00 5A (fullHeader) or A5 FF.
std::optional<CapturedDevicePacket> devicePacketFromFrame(const std::uint8_t* frame,
                                                          std::size_t length, bool fullHeader);

// The advanced configuration packet on the captured template. motorState: the status
// record's motor state (0 and 1 kept, anything else 2).
QByteArray buildAdvancedPacket(const CapturedDevicePacket& captured, int motorState,
                               const AdvancedValues& values, const LocalTime& now);

// What Refresh shows. Angles: above 32767 the offset is read back by subtracting 65536 (it is
// written in two's complement), the calibration by subtracting 65535 (as it is written).
struct AdvancedReadback {
    QString range, tailThreshold, tailDistance, highReflect, offsetAngle, calibrationAngle;
    QString board2Version, board3Version;
    int zeroPosition = -1;   // -1: leave the list as it is
    int echoMode = -1;       // -1: leave the list as it is
    int rotationIndex = -1;  // -1: leave the list as it is
};
// status: the 19 status values; captured: the freshly captured device packet (1206 bytes).
AdvancedReadback advancedReadback(const SettingData& data, const std::vector<int>& status,
                                  const std::uint8_t* captured);
// Hundredths shown as degrees, up to six significant digits ("150", "1.5", "-1").
QString hundredthsAsDegreesText(int hundredths);

// The settings file: every byte as two lowercase hex digits and a blank (3618 characters
// for a whole packet), no line break.
QByteArray settingsFileText(const std::uint8_t* packet, std::size_t length);

// The default network configuration packet (fixed addresses, ports and speed, local time).
QByteArray defaultNetworkPacket(const LocalTime& now);
// Where Restore sends: a valid address and a port 1-65535, or a refusal naming the field.
struct RestoreTarget {
    std::optional<Refusal> refusal;
    QString address;
    std::uint16_t port = 0;
};
RestoreTarget restoreTarget(const QString& address, const QString& port);

// ---- Texts of the advanced window ----
extern const char* const kTextNotRefreshed;    // "请先刷新数据否则再进行设置!"
extern const char* const kTextCaptureFailed;   // "抓包失败！!"
extern const char* const kTextNoLidar;         // "You didn't connect Lidar."
extern const char* const kTextNoOffset;        // "请输入水平偏移角度!"
extern const char* const kTextNoRange;         // "请输入量程!"
extern const char* const kTextTailZero;        // "拖尾数据为0,或拖尾距离为0?"
extern const char* const kTextNoAdapter;       // "抓包失败,没有找到网卡！!"
extern const char* const kTextNoStatus;        // "设备包端口错误请检查!"
extern const char* const kTextSaveNoPacket;    // "抓包失败,请设置发包间隔为0!"
extern const char* const kTextOpenFileFailed;  // "打开文件失败,请检查!"
extern const char* const kTextResetCompleted;  // "Reset completed !"
extern const char* const kTextNumberEmpty;     // "The number can not be empty!"
// UTF-8 literal to QString.
inline QString uiText(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace k740
