// The viewer's comforts without widgets (see viewer_comfort.h).
#include "app/rules/viewer_comfort.h"

#include <QLocale>
#include <QtMath>
#include <algorithm>
#include <cstdint>

#include "app/rules/live_settings.h"

namespace k740 {

namespace {

std::optional<int> indexIn(const QVariant& v, int count) {
    bool ok = false;
    const int i = v.toInt(&ok);
    if (!ok || i < 0 || i >= count) return std::nullopt;
    return i;
}

std::optional<bool> flag(const QVariant& v) {
    const QString t = v.toString().trimmed().toLower();
    if (t == QLatin1String("true") || t == QLatin1String("1")) return true;
    if (t == QLatin1String("false") || t == QLatin1String("0")) return false;
    return std::nullopt;
}

}  // namespace

StoredSettings readStoredSettings(const std::function<QVariant(const QString& key)>& value,
                                  const StoredSettingsLimits& limits, QStringList* rejected) {
    StoredSettings s;
    auto take = [&](const char* key, auto check, auto apply) {
        const QVariant v = value(QLatin1String(key));
        if (!v.isValid()) return;
        if (!check(v)) {
            if (rejected) rejected->append(QLatin1String(key));
            return;
        }
        apply(v);
    };
    auto port = [](const QVariant& v) {
        std::uint16_t p = 0;
        return parsePortField(v.toString(), &p);
    };
    take("live/dataPort", port, [&](const QVariant& v) { s.dataPort = v.toString().trimmed(); });
    take("live/devicePort", port, [&](const QVariant& v) { s.devicePort = v.toString().trimmed(); });
    take("live/group", [](const QVariant& v) { return isGroupField(v.toString()); },
         [&](const QVariant& v) { s.group = v.toString().trimmed(); });
    auto index = [&](const char* key, int count, int* target) {
        take(key, [count](const QVariant& v) { return indexIn(v, count).has_value(); },
             [target](const QVariant& v) { *target = v.toInt(); });
    };
    index("lists/protocol", limits.protocols, &s.protocol);
    index("lists/model", limits.models, &s.model);
    index("view/colourMode", limits.colourModes, &s.colourMode);
    index("view/viewMode", limits.viewModes, &s.viewMode);
    take("view/pointSize",
         [](const QVariant& v) {
             bool ok = false;
             const int n = v.toInt(&ok);
             return ok && n >= 1 && n <= 10;
         },
         [&](const QVariant& v) { s.pointSize = v.toInt(); });
    auto boolean = [&](const char* key, bool* target) {
        take(key, [](const QVariant& v) { return flag(v).has_value(); },
             [target](const QVariant& v) { *target = *flag(v); });
    };
    boolean("view/grid", &s.grid);
    boolean("view/axes", &s.axes);
    boolean("view/dataDock", &s.dock);
    boolean("playback/realTime", &s.realTime);
    take("window/geometry", [](const QVariant& v) { return v.canConvert<QByteArray>(); },
         [&](const QVariant& v) { s.geometry = v.toByteArray(); });
    take("window/state", [](const QVariant& v) { return v.canConvert<QByteArray>(); },
         [&](const QVariant& v) { s.windowState = v.toByteArray(); });
    take("files/recent", [](const QVariant& v) { return v.canConvert<QStringList>(); },
         [&](const QVariant& v) {
             for (const QString& f : v.toStringList())
                 if (!f.isEmpty() && s.recentFiles.size() < kRecentFiles && !s.recentFiles.contains(f))
                     s.recentFiles.append(f);
         });
    take("files/lastFolders", [](const QVariant& v) { return v.canConvert<QVariantMap>(); },
         [&](const QVariant& v) { s.lastFolders = v.toMap(); });
    return s;
}

QVariantMap storedSettingsValues(const StoredSettings& s) {
    return {{QStringLiteral("live/dataPort"), s.dataPort},
            {QStringLiteral("live/devicePort"), s.devicePort},
            {QStringLiteral("live/group"), s.group},
            {QStringLiteral("lists/protocol"), s.protocol},
            {QStringLiteral("lists/model"), s.model},
            {QStringLiteral("view/colourMode"), s.colourMode},
            {QStringLiteral("view/viewMode"), s.viewMode},
            {QStringLiteral("view/pointSize"), s.pointSize},
            {QStringLiteral("view/grid"), s.grid},
            {QStringLiteral("view/axes"), s.axes},
            {QStringLiteral("view/dataDock"), s.dock},
            {QStringLiteral("playback/realTime"), s.realTime},
            {QStringLiteral("window/geometry"), s.geometry},
            {QStringLiteral("window/state"), s.windowState},
            {QStringLiteral("files/recent"), s.recentFiles},
            {QStringLiteral("files/lastFolders"), s.lastFolders}};
}

QStringList withRecentFile(QStringList recent, const QString& path) {
    recent.removeAll(path);
    recent.prepend(path);
    while (recent.size() > kRecentFiles) recent.removeLast();
    return recent;
}

FiguresText figuresText(const FigureSample& start, const FigureSample& previous,
                        const FigureSample& now, const FigureContext& context) {
    const QLocale english(QLocale::English);
    const QString dot = QStringLiteral(" \u00b7 ");
    const double span = now.seconds - previous.seconds;
    const double fps = span > 0 ? double(now.framesDrawn - previous.framesDrawn) / span : 0.0;
    QString t = QString::number(std::max(0.0, fps), 'f', 1) + QStringLiteral(" frames/s");
    FiguresText out;
    if (context.live) {
        const double pps = span > 0 ? double(now.datagrams - previous.datagrams) / span : 0.0;
        t += dot + english.toString(qRound64(std::max(0.0, pps))) + QStringLiteral(" packets/s");
        const long long cap = now.framesDroppedCap - start.framesDroppedCap;
        const long long flight = now.framesDroppedFlight - start.framesDroppedFlight;
        t += dot + english.toString(cap + flight) + QStringLiteral(" dropped");
        if (cap > 0 && flight > 0)
            t += QStringLiteral(" (%1 at the frame cap, %2 in flight)")
                     .arg(english.toString(cap), english.toString(flight));
        else if (cap > 0)
            t += QStringLiteral(" (at the frame cap)");
        QStringList sensor;
        if (!context.sensorAddress.isEmpty()) sensor << QStringLiteral("sensor ") + context.sensorAddress;
        if (context.rpm >= 0) sensor << QString::number(context.rpm) + QStringLiteral(" rpm");
        if (now.secondsSinceDatagram >= kNoDataAlarmSeconds) {
            // Silence: what the sensor said is what it said when it was last heard.
            t += dot + QStringLiteral("no data for %1 s").arg(qFloor(now.secondsSinceDatagram));
            if (!sensor.isEmpty()) t += dot + QStringLiteral("last seen: ") + sensor.join(QStringLiteral(", "));
            out.alarm = true;
        } else if (!sensor.isEmpty()) {
            t += dot + sensor.join(dot);
        }
    } else if (context.pacedPlay) {
        const long long skipped = now.framesDroppedFlight - start.framesDroppedFlight;
        t += dot + english.toString(skipped) + QStringLiteral(" dropped");
    }
    if (context.recordingBytes >= 0)
        t += dot + QStringLiteral("recording ") + english.formattedDataSize(context.recordingBytes);
    out.text = t;
    return out;
}

int frameForSliderValue(int value, int frames) {
    if (frames <= 0) return 0;
    return std::clamp(value - 1, 0, frames - 1);
}

QString defaultSnapshotFileName(const QDateTime& localTime, int frame) {
    return QStringLiteral("k740-") + localTime.toString(QStringLiteral("yyyyMMdd-hhmmss")) +
           QStringLiteral("-frame%1.png").arg(frame);
}

}  // namespace k740
