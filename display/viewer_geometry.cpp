// Preset cameras, grid geometry and the read-out rule.
#include "display/viewer_geometry.h"

#include <cmath>

#include "display/point_math.h"

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
    double a = std::asin(std::fabs(y) / std::sqrt(y * y + x * x)) * 57.2957795;
    if (x < 0 && y > 0)
        a = 180 + a;
    else if (x < 0 && y < 0)
        a = 180 - a;
    else if (x > 0 && y < 0) {
        // as computed
    } else if (x >= 0 && y >= 0)
        a = 360 - a;
    return a;
}

QString readoutText(double distance, double azimuth) {
    return QStringLiteral("Distance:") + QString::number(distance, 'f', 6) + QStringLiteral("    Azimuth:") +
           QString::number(azimuth, 'f', 6);
}

}  // namespace k740
