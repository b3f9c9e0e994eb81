// The ruler's pure side: which point of the cloud a click on the view means (the point nearest
// the cursor on the screen, the one nearer the viewer when two are about as near), and what
// the ruler says about the two points it joins. No rendering: the camera comes in as a matrix.
#pragma once

#include <string>
#include <vector>

namespace k740 {

struct RulerPoint {
    double x = 0, y = 0, z = 0;  // cm
};

// World to clip coordinates, row-major, as a camera's composite projection gives it:
// a world point p maps to M (p, 1), and x/w, y/w, z/w lie within [-1, 1] inside the view.
struct ProjectionMatrix {
    double m[16];
};

// A click farther than this from every point on the screen hits no point.
constexpr double kRulerPickRadiusPx = 8.0;
// Points nearer to each other than this on the screen are told apart by depth instead.
constexpr double kRulerSameSpotPx = 1.0;

// The index of the point the click at (clickX, clickY) means, in display pixels of a view
// width x height with the origin at its bottom left: among the points inside the view within
// radiusPx of the click, the nearest on the screen; within kRulerSameSpotPx of that, the one
// nearest the viewer. -1 when no point qualifies.
long nearestPointUnderCursor(const std::vector<RulerPoint>& points, const ProjectionMatrix& worldToClip,
                             int width, int height, double clickX, double clickY,
                             double radiusPx = kRulerPickRadiusPx);

// Where a world point lands on the screen (display pixels, origin bottom left); false when it
// lies behind the viewer or outside the depth range.
bool projectToDisplay(const RulerPoint& p, const ProjectionMatrix& worldToClip, int width,
                      int height, double* x, double* y, double* depth = nullptr);

// What the ruler shows for the two points: the length in cm and each point's azimuth (the
// table's convention: 0 on +y, growing towards +x).
struct RulerReading {
    double lengthCm = 0;
    double azimuthA = 0;
    double azimuthB = 0;
};
RulerReading rulerReading(const RulerPoint& a, const RulerPoint& b);
// "Length: 123.4 cm    Azimuth A: 12.345°    Azimuth B: 56.789°" (an azimuth at the origin
// reads "-").
std::string rulerText(const RulerReading& reading);

}  // namespace k740
