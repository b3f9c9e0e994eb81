// The rules of the CSV export that need no widgets: the options dialog's checks and texts,
// the angle-range rule shared with k740-convert, the default file name, and the sequence of
// FreamIDs and progress values of one export.
#pragma once

#include <QDateTime>
#include <QString>

namespace k740 {

// Outcome of the options dialog's OK: either the values to send, or the warning to show
// (the dialog then stays open and nothing is sent).
struct SaveDataChoice {
    bool accepted = false;
    QString warningTitle;  // "Warning" when refused
    QString warningText;
    QString frameCountText;  // what the frame-count field shows afterwards ("1" when it was empty)
    int frames = 1;
    float angleMin = 0.0f;
    float angleMax = 360.0f;
};

// Checks the three fields of the options dialog in the dialog's order: frame count (empty
// means 1; otherwise a positive whole number), then the angle range.
SaveDataChoice checkSaveDataOptions(const QString& frameCount, const QString& angleMin,
                                    const QString& angleMax);

// The angle-range rule: both within 0..360 and min <= max; equal bounds widen by 0.5 on each
// side. Returns an empty string, or the dialog's warning text ("Invalid angle",
// "Angle range invalid").
QString checkAngleRange(float* angleMin, float* angleMax);

// "yyyy-MM-dd-hh-mm.csv" of the given local time.
QString defaultCsvFileName(const QDateTime& localTime);
// "yyyy-MM-dd-hh-mm.<extension>" of the given local time.
QString defaultExportFileName(const QDateTime& localTime, const QString& extension);

// FreamID and progress of one export: each exported frame takes the next FreamID from 1; the
// progress is the written share in whole percent (truncated); the export ends when the written
// count reaches the requested count.
class CsvExportCounter {
public:
    struct Step {
        int frameId = 0;
        int percent = 0;
        bool last = false;
    };

    // Starts counting towards `frames` (at least 1).
    void start(int frames);
    void stop() {
        frames_ = 0;
        written_ = 0;
    }
    bool running() const { return frames_ > 0 && written_ < frames_; }
    int written() const { return written_; }
    int requested() const { return frames_; }
    // The next frame of a running export.
    Step next();

private:
    int frames_ = 0;
    int written_ = 0;
};

}  // namespace k740
