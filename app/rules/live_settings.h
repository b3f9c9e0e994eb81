// The live display's settings as typed in the "Lidar" tab, read and checked before anything
// starts: a port is a whole number 1-65535, the group a dotted IPv4 address or nothing. Pure
// logic, tested without a display.
#pragma once

#include <QString>
#include <cstdint>

#include "app/rules/window_mode.h"

namespace k740 {

struct LiveSettings {
    std::uint16_t dataPort = 2368;    // "Port Number"
    std::uint16_t devicePort = 2369;  // "Telemetry Port"
    QString group;                    // "Multicast IP", trimmed; empty = no group
};

// A port field: blanks around it are ignored; anything but a whole number 1-65535 is refused.
bool parsePortField(const QString& text, std::uint16_t* port);
// A group field: empty, or a multicast group, 224.0.0.0 to 239.255.255.255 (dotted).
bool isGroupField(const QString& text);

// The service display-angle field ("显示角度：±"): a number of degrees from 0 to 180. False,
// with *limit unchanged, for anything else (empty, not a number, out of range).
bool parseDisplayAngleField(const QString& text, float* limit);
// The warning for a refused display-angle text, naming the field.
QString displayAngleRefusal(const QString& text);

// Reads the three fields. Refused (title "warn", a text naming the field and what it takes)
// when one is not acceptable; *settings is then left as it was.
Verdict readLiveSettings(const QString& dataPortText, const QString& devicePortText,
                         const QString& groupText, LiveSettings* settings);

}  // namespace k740
