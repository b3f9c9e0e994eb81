// Point maths of the display and the CSV export: distance scaling, coordinates in
// centimetres, view-mode truncation, the display angle limit and the five colour modes.
#pragma once

#include <cmath>
#include <cstdint>

namespace k740 {

constexpr double kDisplayPi = 3.14159;  // the value the display and export use for pi

// Raw distance count to millimetres: / 0.5 for protocol "1.6" (index 0), / 0.25 for "1.7".
inline double scaleDistance(double raw, int protocol) { return protocol == 0 ? raw / 0.5 : raw / 0.25; }

struct PointCm {
    float x = 0, y = 0, z = 0;
};

// The sine and cosine of an azimuth (degrees) as the coordinates take them. Code that meets
// one azimuth many times may keep these and give them to pointCoordinates below.
struct AzimuthTrig {
    double sin = 0.0, cos = 1.0;
};
AzimuthTrig azimuthTrig(double azimuthDeg);

// Coordinates in cm of a point at distance d (mm) and an azimuth given by its sine and
// cosine (azimuthTrig), vertical angle 0. View mode 0 ("View Mode 1") truncates toward zero
// to whole centimetres.
inline PointCm pointCoordinates(double distanceMm, const AzimuthTrig& azimuth, int viewMode) {
    constexpr double vertical = 0.0;
    PointCm p;
    p.x = static_cast<float>(distanceMm * std::cos(vertical) * azimuth.sin * 0.1);
    p.y = static_cast<float>(distanceMm * std::cos(vertical) * azimuth.cos * 0.1);
    p.z = static_cast<float>(distanceMm * std::sin(vertical) * 0.1);
    if (viewMode == 0) {
        // Adding 0 turns the -0 that truncating (-1, 0) leaves into 0, so it never prints "-0".
        p.x = std::trunc(p.x) + 0.0f;
        p.y = std::trunc(p.y) + 0.0f;
        p.z = std::trunc(p.z) + 0.0f;
    }
    return p;
}

// The same from the azimuth in degrees.
inline PointCm pointCoordinates(double distanceMm, double azimuthDeg, int viewMode) {
    return pointCoordinates(distanceMm, azimuthTrig(azimuthDeg), viewMode);
}

// The same point with the other whole-centimetre rule: view mode 0 adds 0.5 before truncating
// toward zero (12.7 -> 13, -12.7 -> -12). Used where the stored last frame is read again:
// listing a picked region and exporting while the display is paused.
PointCm pointCoordinatesAddHalf(double distanceMm, double azimuthDeg, int viewMode);

// True when the azimuth lies within +-limit of 0 (the display angle limit).
inline bool withinDisplayAngle(double azimuthDeg, float limit) {
    return !(azimuthDeg > limit && azimuthDeg < 360.0 - limit);
}

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

enum ColourMode : int {
    kColourIntensity = 0,
    kColourSolid = 1,
    kColourElevation = 2,
    kColourAzimuth = 3,
    kColourLaserId = 4,
};

// Colour of a point by the colour-mode index; channel arithmetic wraps modulo 256.
Rgb pointColour(int mode, int intensity, float z, double azimuthDeg);

}  // namespace k740
