// CSV export rules without widgets.
#include "export/save_options.h"

#include <charconv>
#include <cmath>

namespace k740 {

namespace {
const char* const kWarning = "Warning";

std::string trimmed(const std::string& text) {
    const char* const kBlank = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(kBlank);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

// The whole text as one number in decimal notation (a leading '+' allowed); false for
// anything else, including a number out of the type's range.
template <typename T>
bool wholeNumber(std::string text, T* value) {
    if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.erase(0, 1);
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, *value);
    return !text.empty() && r.ec == std::errc() && r.ptr == end;
}

}  // namespace

std::string checkAngleRange(float* angleMin, float* angleMax) {
    float& lo = *angleMin;
    float& hi = *angleMax;
    // NaN fails every comparison, so it is tested for on its own.
    if (!std::isfinite(lo) || !std::isfinite(hi) || lo > 360.0f || hi > 360.0f || lo < 0.0f ||
        hi < 0.0f)
        return "Invalid angle";
    if (lo > hi) return "Angle range invalid";
    if (lo == hi) {
        lo -= 0.5f;
        hi += 0.5f;
    }
    return std::string();
}

SaveDataChoice checkSaveDataOptions(const std::string& frameCount, const std::string& angleMin,
                                    const std::string& angleMax) {
    SaveDataChoice c;
    c.warningTitle = kWarning;
    const std::string frames = trimmed(frameCount);
    c.frameCountText = frameCount;
    if (frames.empty()) {
        c.frameCountText = "1";
        c.frames = 1;
    } else {
        // "0", "-2", "2.5" and "abc" would start an export that never ends or never starts.
        int n = 0;
        if (!wholeNumber(frames, &n) || n < 1) {
            c.warningText = "Fream count must be a positive whole number";
            return c;
        }
        c.frames = n;
    }

    const std::string lo = trimmed(angleMin), hi = trimmed(angleMax);
    if (lo.empty() || hi.empty()) {
        c.warningText = "Angle range can not be empty";
        return c;
    }
    float min = 0.0f, max = 0.0f;
    if (!wholeNumber(lo, &min) || !wholeNumber(hi, &max)) {
        c.warningText = "Invalid angle";
        return c;
    }
    const std::string complaint = checkAngleRange(&min, &max);
    if (!complaint.empty()) {
        c.warningText = complaint;
        return c;
    }
    c.angleMin = min;
    c.angleMax = max;
    c.accepted = true;
    c.warningTitle.clear();
    return c;
}

std::string defaultCsvFileName(const std::tm& localTime) { return defaultExportFileName(localTime, "csv"); }

std::string defaultExportFileName(const std::tm& localTime, const std::string& extension) {
    char text[64];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d-%H-%M", &localTime);
    return std::string(text, n) + '.' + extension;
}

std::tm localTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local;
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
