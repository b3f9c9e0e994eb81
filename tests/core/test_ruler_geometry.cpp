// The ruler's pick (nearest on the screen, the front one on the same spot, none beyond the
// radius, behind the viewer or off the view) and its reading (length in cm, two azimuths).
#include <gtest/gtest.h>

#include <vector>

#include "display/ruler_geometry.h"

using k740::ProjectionMatrix;
using k740::RulerPoint;

namespace {

// Looking down the z axis: x and y in [-100, 100] cm fill a 200 x 200 pixel view (one pixel a
// centimetre, origin at the view's centre); depth z / 100, smaller nearer.
ProjectionMatrix flatView() {
    return ProjectionMatrix{{0.01, 0, 0, 0,  //
                             0, 0.01, 0, 0,  //
                             0, 0, 0.01, 0,  //
                             0, 0, 0, 1}};
}

// A viewer at the origin looking along +z with a 90-degree view: w = z, so points with z <= 0
// lie behind it.
ProjectionMatrix perspectiveView() {
    return ProjectionMatrix{{1, 0, 0, 0,  //
                             0, 1, 0, 0,  //
                             0, 0, 1, -2,  // depth within [-1, 1] for z in [1, inf)
                             0, 0, 1, 0}};
}

}  // namespace

TEST(RulerPick, TheNearestPointOnTheScreenWithinTheRadius) {
    const std::vector<RulerPoint> points = {
        {10, 10, 0},   // pixel (110, 110)
        {14, 10, 0},   // pixel (114, 110)
        {-50, 0, 0},   // pixel (50, 100)
        {104, 0, 0},   // pixel (204, 100): off the view
    };
    const ProjectionMatrix view = flatView();
    EXPECT_EQ(k740::nearestPointUnderCursor(points, view, 200, 200, 111, 110), 0);
    EXPECT_EQ(k740::nearestPointUnderCursor(points, view, 200, 200, 113, 111), 1);
    EXPECT_EQ(k740::nearestPointUnderCursor(points, view, 200, 200, 52, 103), 2);
    // Beyond the radius (a smaller one honoured), only near a point off the view, no points or
    // no view: none.
    EXPECT_EQ(k740::nearestPointUnderCursor(points, view, 200, 200, 80, 150), -1);
    EXPECT_EQ(k740::nearestPointUnderCursor(points, view, 200, 200, 105, 110, 4.0), -1);
    EXPECT_EQ(k740::nearestPointUnderCursor(points, view, 200, 200, 199, 100, 8.0), -1);
    EXPECT_EQ(k740::nearestPointUnderCursor({}, view, 200, 200, 100, 100), -1);
    EXPECT_EQ(k740::nearestPointUnderCursor(points, view, 0, 0, 110, 110), -1);
}

TEST(RulerPick, OfPointsOnTheSameSpotTheOneNearerTheViewer) {
    // Two points one behind the other, in either order in the cloud: the front one.
    const std::vector<RulerPoint> backFirst = {{20, 20, 50}, {20, 20.5, -40}};
    const std::vector<RulerPoint> frontFirst = {{20, 20.5, -40}, {20, 20, 50}};
    EXPECT_EQ(k740::nearestPointUnderCursor(backFirst, flatView(), 200, 200, 120, 120), 1);
    EXPECT_EQ(k740::nearestPointUnderCursor(frontFirst, flatView(), 200, 200, 120, 120), 0);
    // Clearly nearer on the screen wins over nearer the viewer.
    const std::vector<RulerPoint> apart = {{25, 20, -40}, {20, 20, 50}};
    EXPECT_EQ(k740::nearestPointUnderCursor(apart, flatView(), 200, 200, 120, 120), 1);

    // Through a perspective view: a point behind the viewer lands on the same pixel as one in
    // front of it once divided by w, and is never chosen.
    const std::vector<RulerPoint> behind = {{-1, -1, -2}, {2, 2, 4}};
    double x, y;
    EXPECT_FALSE(k740::projectToDisplay(behind[0], perspectiveView(), 200, 200, &x, &y));
    EXPECT_EQ(k740::nearestPointUnderCursor(behind, perspectiveView(), 200, 200, 150, 150), 1);
}

TEST(RulerReading, LengthInCentimetresAndEachPointsAzimuth) {
    // A 3-4-5 triangle in metres; azimuths in the table's convention (0 on +y, 90 on +x).
    const k740::RulerReading r = k740::rulerReading({0, 300, 0}, {400, 0, 0});
    EXPECT_DOUBLE_EQ(r.lengthCm, 500.0);
    EXPECT_DOUBLE_EQ(r.azimuthA, 0.0);
    EXPECT_DOUBLE_EQ(r.azimuthB, 90.0);
    EXPECT_NEAR(k740::rulerReading({0, 0, 0}, {-100, -100, 0}).azimuthB, 225.0, 1e-9);
    EXPECT_DOUBLE_EQ(k740::rulerReading({0, 0, 0}, {0, 0, 250}).lengthCm, 250.0);
    EXPECT_EQ(k740::rulerText(r),
              "Length: 500.0 cm    Azimuth A: 0.000\u00b0    Azimuth B: 90.000\u00b0");
    // A point at the origin has no azimuth.
    EXPECT_TRUE(k740::rulerText(k740::rulerReading({0, 0, 0}, {1, 0, 0})).find("Azimuth A: -") != std::string::npos);
}
