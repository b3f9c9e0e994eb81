// Point maths of the display and the CSV export: distance scaling, coordinates in
// centimetres, view-mode truncation, the display angle limit and the five colour modes.
#pragma once

#include <cstdint>

namespace k740 {

constexpr double kDisplayPi = 3.14159;  // the value the display and export use for pi

// Raw distance count to millimetres: / 0.5 for protocol "1.6" (index 0), / 0.25 for "1.7".
double scaleDistance(double raw, int protocol);

struct PointCm {
    float x = 0, y = 0, z = 0;
};

// Coordinates in cm of a point at distance d (mm) and azimuth (degrees), vertical angle 0.
// View mode 0 ("View Mode 1") truncates toward zero to whole centimetres.
PointCm pointCoordinates(double distanceMm, double azimuthDeg, int viewMode);

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
