// Point maths of the display: the five colour modes with their 8-bit wrap-around, distance
// scaling per protocol, coordinates and the whole-centimetre truncation of view mode 1.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

#include "display/point_math.h"

namespace {

using k740::pointColour;

std::tuple<int, int, int> rgb(const k740::Rgb& c) { return {c.r, c.g, c.b}; }

TEST(PointColour, IntensityModeWrapsEachChannelToEightBits) {
    // The band edges and the places where a channel leaves 0..255 and wraps.
    const std::vector<std::pair<int, std::tuple<int, int, int>>> expected = {
        {0, {0, 0, 255}},     {31, {0, 248, 255}},  {32, {0, 255, 255}}, {63, {0, 255, 131}},
        {64, {192, 255, 0}},  {79, {252, 255, 0}},  {80, {0, 255, 0}},   {127, {188, 255, 0}},
        {128, {255, 254, 0}}, {200, {255, 110, 0}}, {255, {255, 0, 0}},
    };
    for (const auto& e : expected)
        EXPECT_EQ(rgb(pointColour(k740::kColourIntensity, e.first, 0.0f, 45.0)), e.second)
            << "intensity " << e.first;
}

TEST(PointColour, SolidElevationAzimuthAndLaserIdModes) {
    EXPECT_EQ(rgb(pointColour(k740::kColourSolid, 77, 3.0f, 200.0)),
              std::make_tuple(255, 255, 255));
    EXPECT_EQ(rgb(pointColour(k740::kColourLaserId, 77, 3.0f, 200.0)),
              std::make_tuple(102, 102, 255));
    // An index beyond the list paints white rather than reading past it.
    EXPECT_EQ(rgb(pointColour(9, 77, 3.0f, 200.0)), std::make_tuple(255, 255, 255));

    // Elevation bands; the band edges themselves (-2, 0, 1) fall through to blue.
    const std::vector<std::pair<float, std::tuple<int, int, int>>> elevation = {
        {-3.0f, {139, 69, 19}}, {-1.0f, {255, 255, 0}}, {0.5f, {255, 255, 255}},
        {3.0f, {0, 128, 0}},    {6.0f, {0, 0, 255}},    {-2.0f, {0, 0, 255}},
        {0.0f, {0, 0, 255}},    {1.0f, {0, 0, 255}},
    };
    for (const auto& e : elevation)
        EXPECT_EQ(rgb(pointColour(k740::kColourElevation, 0, e.first, 0.0)), e.second)
            << "z " << e.first;

    // Azimuth quadrants, each edge belonging to the next quadrant.
    const std::vector<std::pair<double, std::tuple<int, int, int>>> azimuth = {
        {0.0, {0, 255, 255}},   {89.99, {0, 255, 255}}, {90.0, {0, 125, 192}},
        {179.9, {0, 125, 192}}, {180.0, {0, 255, 0}},   {269.9, {0, 255, 0}},
        {270.0, {255, 255, 0}}, {359.9, {255, 255, 0}},
    };
    for (const auto& e : azimuth)
        EXPECT_EQ(rgb(pointColour(k740::kColourAzimuth, 0, 0.0f, e.first)), e.second)
            << "azimuth " << e.first;
}

TEST(PointMath, ProtocolsScaleAndViewModeOneTruncatesTowardZero) {
    // Protocol 1.6: raw / 0.5 mm; 1.7: raw / 0.25 mm.
    EXPECT_EQ(k740::scaleDistance(63.5, 0), 127.0);
    EXPECT_EQ(k740::scaleDistance(63.5, 1), 254.0);

    // 127 mm at 90 degrees lies 12.7 cm along +x, at 270 along -x.
    const k740::PointCm exact = k740::pointCoordinates(127.0, 90.0, 1);
    EXPECT_NEAR(exact.x, 12.7, 1e-4);
    EXPECT_NEAR(exact.y, 0.0, 1e-4);
    EXPECT_EQ(exact.z, 0.0f);
    const k740::PointCm east = k740::pointCoordinates(127.0, 90.0, 0);
    const k740::PointCm west = k740::pointCoordinates(127.0, 270.0, 0);
    EXPECT_EQ(east.x, 12.0f);
    EXPECT_EQ(west.x, -12.0f);
    // Truncating a small negative coordinate leaves 0, never -0 (which would print "-0").
    EXPECT_EQ(east.y, 0.0f);
    EXPECT_FALSE(std::signbit(west.y));
    EXPECT_FALSE(std::signbit(k740::pointCoordinates(5.0, 181.0, 0).y));

    // The display angle limit keeps azimuths within +-limit of 0, both ends inclusive.
    EXPECT_TRUE(k740::withinDisplayAngle(90.0, 90.0f));
    EXPECT_FALSE(k740::withinDisplayAngle(90.5, 90.0f));
    EXPECT_FALSE(k740::withinDisplayAngle(269.5, 90.0f));
    EXPECT_TRUE(k740::withinDisplayAngle(270.0, 90.0f));
    EXPECT_TRUE(k740::withinDisplayAngle(180.0, 180.0f));
}

}  // namespace
