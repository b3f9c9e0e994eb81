// Reading the live display's port and group fields.
#include "app/rules/live_settings.h"

#include "platform/udp_socket.h"

namespace k740 {

namespace {

// The form's labels, as the operator sees them.
const char* const kDataPortField = "Port Number";
const char* const kDevicePortField = "Telemetry Port";
const char* const kGroupField = "Multicast IP";

Verdict refusal(const QString& text) {
    Verdict v;
    v.allowed = false;
    v.box = Verdict::Box::Warning;
    v.title = QStringLiteral("warn");
    v.text = text;
    return v;
}

Verdict portRefusal(const char* field, const QString& typed) {
    const QString shown = typed.trimmed();
    if (shown.isEmpty())
        return refusal(QStringLiteral("The %1 is empty: type a port from 1 to 65535.")
                           .arg(QLatin1String(field)));
    return refusal(
        QStringLiteral("The %1 \"%2\" is not a port: type a whole number from 1 to 65535.")
            .arg(QLatin1String(field), shown));
}

}  // namespace

bool parsePortField(const QString& text, std::uint16_t* port) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 5) return false;
    unsigned value = 0;
    for (const QChar c : t) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
        value = value * 10 + static_cast<unsigned>(c.unicode() - '0');
    }
    if (value < 1 || value > 65535) return false;
    if (port) *port = static_cast<std::uint16_t>(value);
    return true;
}

bool isGroupField(const QString& text) {
    const QString t = text.trimmed();
    return t.isEmpty() || UdpSocket::parseIPv4(t.toStdString(), nullptr);
}

Verdict readLiveSettings(const QString& dataPortText, const QString& devicePortText,
                         const QString& groupText, LiveSettings* settings) {
    LiveSettings read;
    if (!parsePortField(dataPortText, &read.dataPort))
        return portRefusal(kDataPortField, dataPortText);
    if (!parsePortField(devicePortText, &read.devicePort))
        return portRefusal(kDevicePortField, devicePortText);
    if (!isGroupField(groupText))
        return refusal(
            QStringLiteral("The %1 \"%2\" is not an IPv4 address: type four numbers "
                           "from 0 to 255 joined by dots (224.1.1.1), or leave it empty.")
                .arg(QLatin1String(kGroupField), groupText.trimmed()));
    read.group = groupText.trimmed();
    if (settings) *settings = read;
    return {};
}

}  // namespace k740
