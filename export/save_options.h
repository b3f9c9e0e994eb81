// The rules of the CSV export that need no widgets: the options dialog's checks and texts,
// the angle-range rule shared with k740-convert, the default file name, and the sequence of
// FreamIDs and progress values of one export.
#pragma once

#include <ctime>
#include <string>

namespace k740 {

// Outcome of the options dialog's OK: either the values to send, or the warning to show
// (the dialog then stays open and nothing is sent).
struct SaveDataChoice {
    bool accepted = false;
    std::string warningTitle;  // "Warning" when refused
    std::string warningText;
    std::string frameCountText;  // what the frame-count field shows afterwards ("1" when it was empty)
    int frames = 1;
    float angleMin = 0.0f;
    float angleMax = 360.0f;
};

// Checks the three fields of the options dialog in the dialog's order: frame count (empty
// means 1; otherwise a positive whole number), then the angle range.
// The fields as typed (UTF-8); blanks around a number do not count.
SaveDataChoice checkSaveDataOptions(const std::string& frameCount, const std::string& angleMin,
                                    const std::string& angleMax);

// The angle-range rule: both within 0..360 and min <= max; equal bounds widen by 0.5 on each
// side. Returns an empty string, or the dialog's warning text ("Invalid angle",
// "Angle range invalid").
std::string checkAngleRange(float* angleMin, float* angleMax);

// "yyyy-MM-dd-hh-mm.csv" of the given local time.
std::string defaultCsvFileName(const std::tm& localTime);
// "yyyy-MM-dd-hh-mm.<extension>" of the given local time.
std::string defaultExportFileName(const std::tm& localTime, const std::string& extension);
// The local time now, for the default file name.
std::tm localTimeNow();

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
