// The ruler's point choice and reading (see ruler_geometry.h).
#include "display/ruler_geometry.h"

#include <cmath>

#include "display/viewer_geometry.h"
#include "export/number_text.h"

namespace k740 {

bool projectToDisplay(const RulerPoint& p, const ProjectionMatrix& worldToClip, int width,
                      int height, double* x, double* y, double* depth) {
    const double* m = worldToClip.m;
    const double cx = m[0] * p.x + m[1] * p.y + m[2] * p.z + m[3];
    const double cy = m[4] * p.x + m[5] * p.y + m[6] * p.z + m[7];
    const double cz = m[8] * p.x + m[9] * p.y + m[10] * p.z + m[11];
    const double cw = m[12] * p.x + m[13] * p.y + m[14] * p.z + m[15];
    if (!(cw > 0.0)) return false;  // behind the viewer (or no number)
    const double nz = cz / cw;
    if (nz < -1.0 || nz > 1.0) return false;
    *x = (cx / cw + 1.0) * 0.5 * width;
    *y = (cy / cw + 1.0) * 0.5 * height;
    if (depth) *depth = nz;
    return true;
}

long nearestPointUnderCursor(const std::vector<RulerPoint>& points, const ProjectionMatrix& worldToClip,
                             int width, int height, double clickX, double clickY, double radiusPx) {
    if (width <= 0 || height <= 0 || !(radiusPx > 0.0)) return -1;
    long best = -1;
    double bestDistance = 0, bestDepth = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        double sx, sy, depth;
        if (!projectToDisplay(points[i], worldToClip, width, height, &sx, &sy, &depth)) continue;
        if (sx < 0 || sy < 0 || sx > width || sy > height) continue;
        const double distance = std::hypot(sx - clickX, sy - clickY);
        if (distance > radiusPx) continue;
        bool better = best < 0;
        if (!better) {
            if (std::fabs(distance - bestDistance) <= kRulerSameSpotPx)
                better = depth < bestDepth;  // about as near on the screen: the front one
            else
                better = distance < bestDistance;
        }
        if (better) {
            best = static_cast<long>(i);
            bestDistance = distance;
            bestDepth = depth;
        }
    }
    return best;
}

RulerReading rulerReading(const RulerPoint& a, const RulerPoint& b) {
    RulerReading r;
    r.lengthCm = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y) +
                           (b.z - a.z) * (b.z - a.z));
    r.azimuthA = readoutAzimuth(a.x, a.y);
    r.azimuthB = readoutAzimuth(b.x, b.y);
    return r;
}

std::string rulerText(const RulerReading& reading) {
    auto azimuth = [](double a) {
        return std::isfinite(a) ? fixedText(a, 3) + "\u00B0" : std::string("-");
    };
    return "Length: " + fixedText(reading.lengthCm, 1) + " cm    Azimuth A: " + azimuth(reading.azimuthA) +
           "    Azimuth B: " + azimuth(reading.azimuthB);
}

}  // namespace k740
