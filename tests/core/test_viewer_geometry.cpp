// The view's pure geometry: the measuring grid's labels and ring chords, and the cursor
// read-out's distance, azimuth and text.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "display/point_math.h"
#include "display/viewer_geometry.h"

TEST(ViewerGeometry, GridLabelsStandOnThePositiveYAxisEveryFourMetres) {
    const std::vector<k740::GridLabel> labels = k740::gridLabels();
    ASSERT_EQ(labels.size(), 13u);
    EXPECT_EQ(labels.front().text, "2m");
    EXPECT_EQ(labels[1].text, "6m");
    EXPECT_EQ(labels.back().text, "50m");
    EXPECT_EQ(labels.back().id, "Circle50");
    for (const k740::GridLabel& l : labels) {
        EXPECT_NEAR(l.position[0], 0.0, 0.01);
        EXPECT_GT(l.position[1], 0.0);
    }
    EXPECT_NEAR(labels[1].position[1], 600.0, 1e-6);

    // Ring chords join up: each ends where the next begins.
    const std::vector<k740::GridLine> chords = k740::gridRingChords();
    ASSERT_EQ(chords.size(), 900u);
    EXPECT_NEAR(chords[0].from[0], 200.0, 1e-9);
    EXPECT_NEAR(chords[0].to[0], chords[1].from[0], 1e-9);
    EXPECT_NEAR(chords[35].to[0], chords[0].from[0], 0.01);  // the ring closes
}

TEST(ViewerGeometry, ReadoutAzimuthIsTheTablesAzimuth) {
    // A point drawn at the table's azimuth a reads a under the cursor, in every quadrant and on
    // the axes (the drawing's pi is 3.14159, hence the tolerance).
    for (const double a : {0.0, 30.0, 90.0, 135.0, 180.0, 225.0, 270.0, 300.0, 359.5}) {
        const k740::PointCm p = k740::pointCoordinates(1000.0, a, 1);
        EXPECT_NEAR(k740::readoutAzimuth(p.x, p.y), a, 0.01) << a;
    }
    EXPECT_NEAR(k740::readoutAzimuth(5, 0), 90.0, 1e-9);
    EXPECT_NEAR(k740::readoutAzimuth(0, -5), 180.0, 1e-9);
    EXPECT_NEAR(k740::readoutAzimuth(-1e-9, 5), 360.0 - 1.1459e-8, 1e-9);  // just below 360
    EXPECT_NEAR(k740::readoutDistance(3, 4, 12), 13.0, 1e-12);
    EXPECT_EQ(k740::readoutText(13, 315.5),
              "Distance:13.000000    Azimuth:315.500000");
    // The origin has no azimuth: the read-out shows nothing instead of "nan".
    EXPECT_TRUE(std::isnan(k740::readoutAzimuth(0, 0)));
    EXPECT_TRUE(k740::readoutText(0, k740::readoutAzimuth(0, 0)).empty());
}

TEST(ViewerGeometry, OverlayTextShrinksUntilItsLongestLineFits) {
    const std::string readout = "Distance:1234.567890    Azimuth:123.456789";
    EXPECT_EQ(k740::overlayFontSize(readout, 1200, 150, 20), 20);  // fits as it is
    EXPECT_EQ(k740::overlayFontSize(readout, 0, 150, 20), 20);     // not shown yet
    const std::string stats = std::string(90, 'x') + "\n" + std::string(40, 'y');
    const int size = k740::overlayFontSize(stats, 800, 150, 20);
    EXPECT_LT(size, 20);
    EXPECT_LE(150 + 0.62 * size * 90, 800);  // the long line, not the short one, decides
    EXPECT_EQ(k740::overlayFontSize(stats, 100, 150, 20), 8);  // never unreadably small
}
