// The trail's older frames without a window: which frames are kept and in what order, how
// their colours fade towards the background, and that a shorter trail gives its memory back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "display/trail_frames.h"

namespace {

using k740::Cloud;
using k740::CloudPoint;

// A frame of `n` points whose x is `tag` (to tell the frames apart) and whose colour is white.
Cloud frameTagged(float tag, std::size_t n = 3) {
    Cloud c;
    for (std::size_t i = 0; i < n; ++i) {
        CloudPoint p;
        p.x = tag;
        p.y = float(i);
        p.z = 0;
        p.r = p.g = p.b = 255;
        c.points.push_back(p);
    }
    c.width = std::uint32_t(n);
    c.height = 1;
    return c;
}

std::vector<float> tagsOf(const Cloud& c) {
    std::vector<float> tags;
    for (const CloudPoint& p : c.points)
        if (tags.empty() || tags.back() != p.x) tags.push_back(p.x);
    return tags;
}

}  // namespace

TEST(TrailFrames, FadeRunsFromWholeForTheNewestToOneNthForTheOldest) {
    EXPECT_DOUBLE_EQ(k740::trailFade(0, 1), 1.0);
    EXPECT_DOUBLE_EQ(k740::trailFade(0, 10), 1.0);
    EXPECT_NEAR(k740::trailFade(9, 10), 0.1, 1e-12);
    for (int age = 1; age < 10; ++age) EXPECT_LT(k740::trailFade(age, 10), k740::trailFade(age - 1, 10));
    EXPECT_DOUBLE_EQ(k740::trailFade(10, 10), 0.0);
    EXPECT_DOUBLE_EQ(k740::trailFade(-1, 10), 0.0);
}

TEST(TrailFrames, KeepsTheLastLengthMinusOneFramesOldestFirstFadedTowardsTheBackground) {
    k740::TrailFrames trail;
    trail.push(frameTagged(1));  // the trail is off: nothing is kept
    EXPECT_EQ(trail.framesKept(), 0);

    trail.setLength(4);
    for (int k = 1; k <= 6; ++k) trail.push(frameTagged(float(k), std::size_t(k)));
    EXPECT_EQ(trail.framesKept(), 3);
    EXPECT_EQ(trail.pointsKept(), 4u + 5u + 6u);

    Cloud out = frameTagged(99, 40);  // overwritten, not appended to
    trail.compose(out, {0, 0, 0});
    EXPECT_EQ(tagsOf(out), (std::vector<float>{4, 5, 6}));
    ASSERT_EQ(out.points.size(), 15u);
    EXPECT_EQ(out.width, 15u);
    // Frame 6 was on screen just before the newest (age 1), frame 4 is the oldest (age 3).
    EXPECT_EQ(out.points.back().r, std::lround(255 * k740::trailFade(1, 4)));
    EXPECT_EQ(out.points.front().r, std::lround(255 * k740::trailFade(3, 4)));
    EXPECT_LT(out.points.front().r, out.points.back().r);

    // On a grey background a faded point moves towards grey, from below as from above.
    Cloud dark = frameTagged(7, 1);
    dark.points[0].r = dark.points[0].g = dark.points[0].b = 0;
    k740::TrailFrames two;
    two.setLength(2);
    two.push(dark);
    two.push(frameTagged(8, 1));
    two.push(dark);  // frames 8 and the first dark one fell out: one slot
    two.compose(out, {100, 100, 100});
    ASSERT_EQ(out.points.size(), 1u);
    EXPECT_EQ(out.points[0].r, std::lround(100 - 100 * k740::trailFade(1, 2)));
}

TEST(TrailFrames, ALengthChangeOrClearEmptiesTheTrailAndGivesItsMemoryBack) {
    k740::TrailFrames trail;
    trail.setLength(20);
    for (int k = 0; k < 25; ++k) trail.push(frameTagged(float(k), 1000));
    EXPECT_EQ(trail.framesKept(), 19);
    EXPECT_GE(trail.bytesHeld(), 19u * 1000u * sizeof(CloudPoint));

    trail.setLength(20);  // the same length: nothing changes
    EXPECT_EQ(trail.framesKept(), 19);

    trail.setLength(1);
    EXPECT_EQ(trail.framesKept(), 0);
    EXPECT_EQ(trail.bytesHeld(), 0u);
    trail.push(frameTagged(1));
    EXPECT_EQ(trail.bytesHeld(), 0u);  // off: keeps nothing

    trail.setLength(3);
    trail.push(frameTagged(1, 500));
    trail.clear();
    EXPECT_EQ(trail.bytesHeld(), 0u);
    Cloud out;
    trail.compose(out, {});
    EXPECT_TRUE(out.points.empty());

    trail.setLength(99);  // beyond the longest trail
    EXPECT_EQ(trail.length(), k740::kMaxTrail);
}
