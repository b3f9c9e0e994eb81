// Reading the live display's port and group fields.
#include "app/rules/live_settings.h"

#include "acquisition/receive_engine.h"

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
    // The receivers' own reading of a port (1-65535 here: the window binds a given port).
    return portProblem(text.toStdString(), false, port).empty();
}

bool isGroupField(const QString& text) {
    // Only 224.0.0.0 to 239.255.255.255 are groups (the receivers' own check); any other
    // address would leave the live display "on" without a group joined.
    const QString t = text.trimmed();
    return t.isEmpty() || isMulticastGroup(t.toStdString());
}

bool parseDisplayAngleField(const QString& text, float* limit) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !(v >= 0.0 && v <= 180.0)) return false;
    if (limit) *limit = static_cast<float>(v);
    return true;
}

QString displayAngleRefusal(const QString& text) {
    return QStringLiteral("The display angle (\u663e\u793a\u89d2\u5ea6) \"%1\" is not a number of "
                          "degrees from 0 to 180; the display keeps its angle.")
        .arg(text.trimmed());
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
            QStringLiteral("The %1 \"%2\" is not a multicast group: type an address from "
                           "224.0.0.0 to 239.255.255.255 (224.1.1.1), or leave it empty.")
                .arg(QLatin1String(kGroupField), groupText.trimmed()));
    read.group = groupText.trimmed();
    if (settings) *settings = read;
    return {};
}

}  // namespace k740
