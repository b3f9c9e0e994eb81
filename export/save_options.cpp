// CSV export rules without widgets.
#include "export/save_options.h"

#include <cmath>

namespace k740 {

namespace {
const QString kWarning = QStringLiteral("Warning");
}

QString checkAngleRange(float* angleMin, float* angleMax) {
    float& lo = *angleMin;
    float& hi = *angleMax;
    // NaN fails every comparison, so it is tested for on its own.
    if (!std::isfinite(lo) || !std::isfinite(hi) || lo > 360.0f || hi > 360.0f || lo < 0.0f ||
        hi < 0.0f)
        return QStringLiteral("Invalid angle");
    if (lo > hi) return QStringLiteral("Angle range invalid");
    if (lo == hi) {
        lo -= 0.5f;
        hi += 0.5f;
    }
    return QString();
}

SaveDataChoice checkSaveDataOptions(const QString& frameCount, const QString& angleMin,
                                    const QString& angleMax) {
    SaveDataChoice c;
    c.warningTitle = kWarning;
    const QString frames = frameCount.trimmed();
    c.frameCountText = frameCount;
    if (frames.isEmpty()) {
        c.frameCountText = QStringLiteral("1");
        c.frames = 1;
    } else {
        // "0", "-2", "2.5" and "abc" would start an export that never ends or never starts.
        bool ok = false;
        const int n = frames.toInt(&ok);
        if (!ok || n < 1) {
            c.warningText = QStringLiteral("Fream count must be a positive whole number");
            return c;
        }
        c.frames = n;
    }

    const QString lo = angleMin.trimmed(), hi = angleMax.trimmed();
    if (lo.isEmpty() || hi.isEmpty()) {
        c.warningText = QStringLiteral("Angle range can not be empty");
        return c;
    }
    bool okLo = false, okHi = false;
    float min = lo.toFloat(&okLo);
    float max = hi.toFloat(&okHi);
    if (!okLo || !okHi) {
        c.warningText = QStringLiteral("Invalid angle");
        return c;
    }
    const QString complaint = checkAngleRange(&min, &max);
    if (!complaint.isEmpty()) {
        c.warningText = complaint;
        return c;
    }
    c.angleMin = min;
    c.angleMax = max;
    c.accepted = true;
    c.warningTitle.clear();
    return c;
}

QString defaultCsvFileName(const QDateTime& localTime) { return defaultExportFileName(localTime, QStringLiteral("csv")); }

QString defaultExportFileName(const QDateTime& localTime, const QString& extension) {
    return localTime.toString(QStringLiteral("yyyy-MM-dd-hh-mm")) + QLatin1Char('.') + extension;
}

void CsvExportCounter::start(int frames) {
    frames_ = frames < 1 ? 1 : frames;
    written_ = 0;
}

CsvExportCounter::Step CsvExportCounter::next() {
    Step s;
    if (!running()) return s;
    ++written_;
    s.frameId = written_;
    s.percent = static_cast<int>(static_cast<long long>(written_) * 100 / frames_);
    s.last = written_ >= frames_;
    return s;
}

}  // namespace k740
