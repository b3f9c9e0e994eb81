// Preset cameras, grid geometry and the read-out rule.
#include "display/viewer_geometry.h"

#include <algorithm>
#include <cmath>

#include "display/point_math.h"
#include "export/number_text.h"

namespace k740 {

bool presetView(int index, CameraPreset* preset) {
    static const CameraPreset kPresets[3] = {
        {{0, -1, 0}, {0, 0.2, -0.2}, {0, 0, 1}},  // Front
        {{0, 0, 1}, {0, 0, 0}, {0, 1, 0}},        // Top
        {{-1, 0, 0}, {0, 0, -0.2}, {0, 0, 1}},    // Left
    };
    if (index < 0 || index > 2) return false;
    *preset = kPresets[index];
    return true;
}

std::vector<GridLine> gridStraightLines() {
    std::vector<GridLine> lines;
    for (int r = -kGridHalfSpan; r <= kGridHalfSpan; r += kGridLineStep) {
        lines.push_back({"Line" + std::to_string(r), {double(r), -double(kGridHalfSpan), 0},
                         {double(r), double(kGridHalfSpan), 0}});
        lines.push_back({"Line" + std::to_string(r + kGridCrossIdOffset), {-double(kGridHalfSpan), double(r), 0},
                         {double(kGridHalfSpan), double(r), 0}});
    }
    return lines;
}

std::vector<GridLine> gridRingChords() {
    std::vector<GridLine> chords;
    const double rad = kDisplayPi / 180.0;
    for (int s = kGridRingStep; s <= kGridHalfSpan; s += kGridRingStep) {
        for (int t = 0; t < 360; t += kGridChordStep) {
            const double a0 = t * rad, a1 = (t + kGridChordStep) * rad;
            chords.push_back({"Circle" + std::to_string(s) + std::to_string(t),
                              {s * std::cos(a0), s * std::sin(a0), 0},
                              {s * std::cos(a1), s * std::sin(a1), 0}});
        }
    }
    return chords;
}

std::vector<GridLabel> gridLabels() {
    std::vector<GridLabel> labels;
    const double a = 90.0 * kDisplayPi / 180.0;
    for (int p = kGridLabelFirst; p <= kGridHalfSpan; p += kGridLabelStep) {
        const std::string metres = std::to_string(p / 100);
        labels.push_back({"Circle" + metres, metres + "m", {p * std::cos(a), p * std::sin(a), 0}});
    }
    return labels;
}

double readoutDistance(double x, double y, double z) { return std::sqrt(x * x + y * y + z * z); }

double readoutAzimuth(double x, double y) {
    // The table's and the export's convention: 0 on +y, growing towards +x.
    if (x == 0.0 && y == 0.0) return std::nan("");
    double a = std::atan2(x, y) * (180.0 / 3.14159265358979323846);
    if (a < 0.0) a += 360.0;
    if (a >= 360.0) a -= 360.0;
    return a;
}

std::string readoutText(double distance, double azimuth) {
    // At the origin a point has no azimuth: nothing is shown rather than "nan".
    if (!std::isfinite(distance) || !std::isfinite(azimuth)) return std::string();
    return "Distance:" + fixedText(distance, 6) + "    Azimuth:" + fixedText(azimuth, 6);
}

int overlayFontSize(const std::string& text, int width, int x, int preferred) {
    constexpr int kSmallest = 8;
    constexpr double kGlyphWidth = 0.62;  // average advance of the overlay's font, per point of size
    if (width <= 0) return preferred;
    std::size_t longest = 0, start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        longest = std::max(longest, end - start);
        start = end + 1;
    }
    if (longest == 0) return preferred;
    const double room = std::max(0, width - x - 8);
    const int fits = static_cast<int>(room / (kGlyphWidth * static_cast<double>(longest)));
    return std::max(kSmallest, std::min(preferred, fits));
}

}  // namespace k740
