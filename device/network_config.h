// Network and operating settings without widgets: the configuration packets of both sensor
// generations, the address, mask, gateway and first-octet checks with their warnings, the
// focus auto-fill of mask and gateway, the values a Refresh shows and the version list for
// the About window. The settings window and `k740-convert configure` share this builder.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

#include "device/device_packet.h"
#include "device/device_texts.h"

namespace k740 {

// ---- Configuration packets ----

// Newer generation: 1206 bytes built on a copy of the device information packet.
constexpr std::uint8_t kConfigHeader[8] = {0xAA, 0x00, 0xFF, 0x11, 0x22, 0x22, 0xAA, 0xAA};
constexpr std::uint8_t kConfigTrailer[2] = {0x0F, 0xF0};  // bytes 1204-1205
constexpr std::size_t kConfigTrailerOffset = 1204;
constexpr std::size_t kCfgRotationSpeed = 8;  // BE16 rpm
constexpr std::size_t kCfgLocalTime = 52;     // 6 bytes: year - 2000, month, day, h, m, s
// The other fields sit where the device information packet has them (kDevSensorIp ...).

// Earlier generation: 36 bytes.
constexpr std::size_t kEarlierConfigSize = 36;
constexpr std::uint8_t kEarlierConfigHeader[9] = {0xFF, 0x00, 0x00, 0xA2, 0xFF,
                                                  0xFF, 0x00, 0x00, 0xA3};
constexpr std::uint8_t kEarlierConfigTrailer[4] = {0xA5, 0x5A, 0x0F, 0xF0};  // bytes 32-35
constexpr std::size_t kEcfgSensorIp = 9;                                     // 4 bytes
constexpr std::size_t kEcfgDataPort = 17;                                    // BE16
constexpr std::size_t kEcfgDestIp = 19;                                      // 4 bytes
constexpr std::size_t kEcfgDevicePort = 23;                                  // BE16
constexpr std::size_t kEcfgRotationSpeed = 29;                               // BE16 rpm
constexpr std::size_t kEcfgTrailer = 32;

// Configuration packets go to this UDP port of the sensor.
constexpr std::uint16_t kSensorConfigPort = 2368;
// A device packet announcing 255.255.255.255 as the sensor address stands for this one.
constexpr Ipv4 kFallbackSensorIp{{192, 168, 1, 200}};
// MAC written when the MAC field holds something other than a full "aa-bb-cc-dd-ee-ff".
constexpr std::array<std::uint8_t, 6> kFallbackMac{{0x60, 0x76, 0x88, 0x00, 0x00, 0x00}};

// Items of the rotation speed list (leading blank kept) and their rpm.
extern const char* const kRotationItems[3];  // " 5 HZ", " 10 HZ", " 20 HZ"
constexpr int kRotationRpm[3] = {300, 600, 1200};
// rpm of a rotation item; any other text counts as 600.
int rotationRpm(const QString& item);

// What the settings window holds when Set is pressed, as texts.
struct NetworkForm {
    QString sensorIp;                                     // lineEdit_DefaultIP
    QString dataPort;                                     // lineEdit_defaultPort
    QString destIp;                                       // lineEdit_DestIP
    QString devicePort;                                   // lineEdit_destPort
    QString subnetMask;                                   // lineEdit_Subnet
    QString gateway;                                      // lineEdit_Gateway
    QString mac;                                          // lineEdit_mac_addr
    QString packetInterval;                               // lineEdit_interval
    QString ntpIp;                                        // lineEdit_NTP
    QString ppsAngle;                                     // lineEdit_SetPPS_Angle, whole degrees
    QString rotateSpeed = QString::fromLatin1(" 10 HZ");  // comboBox_rotateSpeed
    QString motorState = QStringLiteral("Run");           // comboBox: "Run" or "Stop"
    int lidarStatus = 0;    // comboBox_LidarStatus: 0 Running, 1 Sleep
    bool localTime = true;  // comboBox_localTime " Yes"
};

// The PC's local time as written into the packet.
struct LocalTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
LocalTime currentLocalTime();

// A refusal: the box title and text, and nothing is sent.
struct Refusal {
    QString title;
    QString text;
};

struct ConfigPacket {
    std::optional<Refusal> refusal;  // set: nothing to send
    QByteArray bytes;                // 1206 or 36 bytes
    QString sensorAddress;           // where it goes (UDP port kSensorConfigPort)
};

// Builds the configuration packet for the sensor that sent `device`. The newer generation
// first replaces an all-FF sensor address in `device` itself by 192.168.1.200, as the window
// keeps it. Refuses (warning texts below) when the destination equals the sensor address and
// when a non-empty address, angle or interval field is not what it must be.
ConfigPacket buildConfigPacket(DevicePacket& device, bool newGeneration, const NetworkForm& form,
                               const LocalTime& now);

// The sensor and destination fields hold the same address (two empty fields do not: both keep
// the device's own addresses, which differ).
bool sameAddressRefused(const NetworkForm& form);

// Strictly four dot-separated decimal numbers 0-255 ("10.1" and "1.2.3.256" are not).
std::optional<Ipv4> parseIpv4(const QString& text);

// ---- Checks and focus auto-fill ----

struct CheckResult {
    bool ok = false;
    QString warning;                 // non-empty: show it (title "Warning", button Yes)
    std::optional<QString> newText;  // the field becomes this
};

CheckResult checkSubnetMask(const QString& mask);
CheckResult checkGateway(const QString& gateway, const QString& destIp, const QString& mask);
// First octet 1-223; outside it the field becomes "223.b.c.d".
CheckResult checkFirstOctet(const QString& address);

// Focus entering the mask field holding `current`: the mask that follows from the
// destination's class (empty when the class has none); nullopt leaves the field as it is. A
// field that holds anything (a refreshed or typed value) is never replaced by the guess.
std::optional<QString> maskOnFocus(const QString& current, const QString& destIp);
// Focus entering the empty gateway field: "a.b.c.1" of destination AND mask, or nullopt.
std::optional<QString> gatewayOnFocus(const QString& current, const QString& destIp,
                                      const QString& mask);

// ---- Texts ----
extern const char* const kTitleWarring;   // "warring"
extern const char* const kTitleWarning;   // "Warning"
extern const char* const kTitleTips;      // "Tips"
extern const char* const kTitleError;     // "error"
extern const char* const kTitleQuestion;  // "Question"
extern const char* const kTextSameAddress;
extern const char* const kTextNoDevicePacket;
extern const char* const kTextSetupCompleted;
extern const char* const kTextRefreshCompleted;
extern const char* const kTextMaskInvalid;
extern const char* const kTextGatewayOutside;
extern const char* const kTextFirstOctet;  // %1 the octet
extern const char* const kTextCloseQuestion;
extern const char* const kTextSendFailed;  // %1 the address, %2 the reason

// ---- What a Refresh shows: refreshValues (device/device_texts.h) ----

// The form a Refresh leaves for the device packet, for scripted configuration.
NetworkForm formFromDevicePacket(const std::uint8_t* packet);

}  // namespace k740
