// Point maths shared by the point-cloud builder and the CSV export.
#include "display/point_math.h"

#include <cmath>

namespace k740 {

AzimuthTrig azimuthTrig(double azimuthDeg) {
    const double a = azimuthDeg * kDisplayPi / 180.0;
    return {std::sin(a), std::cos(a)};
}

PointCm pointCoordinatesAddHalf(double distanceMm, double azimuthDeg, int viewMode) {
    if (viewMode != 0) return pointCoordinates(distanceMm, azimuthDeg, viewMode);
    PointCm p = pointCoordinates(distanceMm, azimuthDeg, 1);
    // Adding 0 turns a truncated -0 into 0, as above.
    p.x = static_cast<float>(std::trunc(static_cast<double>(p.x) + 0.5)) + 0.0f;
    p.y = static_cast<float>(std::trunc(static_cast<double>(p.y) + 0.5)) + 0.0f;
    p.z = static_cast<float>(std::trunc(static_cast<double>(p.z) + 0.5)) + 0.0f;
    return p;
}

namespace {
inline std::uint8_t low8(int v) { return static_cast<std::uint8_t>(static_cast<unsigned>(v) & 0xFFu); }
}  // namespace

Rgb pointColour(int mode, int I, float z, double a) {
    switch (mode) {
        case kColourIntensity:
            if (I < 32) return {0, low8(8 * I), 255};
            if (I < 64) return {0, 255, low8(255 - (4 * I - 128))};
            if (I < 128) return {low8(4 * I - 64), 255, 0};
            return {255, low8(2 * (255 - I) - 256), 0};
        case kColourSolid:
            return {255, 255, 255};
        case kColourElevation:
            if (z < -2) return {139, 69, 19};
            if (z > -2 && z < 0) return {255, 255, 0};
            if (z > 0 && z < 1) return {255, 255, 255};
            if (z > 1 && z < 5) return {0, 128, 0};
            return {0, 0, 255};
        case kColourAzimuth:
            if (a < 90) return {0, 255, 255};
            if (a < 180) return {0, 125, 192};
            if (a < 270) return {0, 255, 0};
            return {255, 255, 0};
        case kColourLaserId:
            return {102, 102, 255};
        default:
            return {255, 255, 255};
    }
}

}  // namespace k740
