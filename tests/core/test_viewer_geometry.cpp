// The view's pure geometry: the measuring grid's labels and ring chords, and the cursor
// read-out's distance, azimuth and text.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

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

TEST(ViewerGeometry, ReadoutAzimuthFollowsTheQuadrantRule) {
    EXPECT_NEAR(k740::readoutAzimuth(1, 1), 315.0, 1e-5);    // x >= 0, y >= 0: 360 - A
    EXPECT_NEAR(k740::readoutAzimuth(-1, 1), 225.0, 1e-5);   // x < 0, y > 0: 180 + A
    EXPECT_NEAR(k740::readoutAzimuth(-1, -1), 135.0, 1e-5);  // x < 0, y < 0: 180 - A
    EXPECT_NEAR(k740::readoutAzimuth(1, -1), 45.0, 1e-5);    // x > 0, y < 0: A
    EXPECT_NEAR(k740::readoutAzimuth(std::sqrt(3.0), 1), 330.0, 1e-5);
    EXPECT_NEAR(k740::readoutAzimuth(0, 5), 270.0, 1e-5);
    EXPECT_NEAR(k740::readoutAzimuth(5, 0), 360.0, 1e-5);
    // On the negative axes no rule applies and A stands as computed.
    EXPECT_NEAR(k740::readoutAzimuth(-5, 0), 0.0, 1e-5);
    EXPECT_NEAR(k740::readoutAzimuth(0, -5), 90.0, 1e-5);
    EXPECT_NEAR(k740::readoutDistance(3, 4, 12), 13.0, 1e-12);
    EXPECT_EQ(k740::readoutText(13, 315.5),
              QStringLiteral("Distance:13.000000    Azimuth:315.500000"));
}
