// The trail's older frames without a window: which frames are kept, in which slots and in what
// order, how strongly each is drawn, and that a shorter trail gives its memory back.
#include <gtest/gtest.h>

#include <vector>

#include "display/trail_frames.h"

namespace {

using k740::Cloud;
using k740::CloudPoint;

// A frame of `n` white points whose x is `tag` (to tell the frames apart).
Cloud frameTagged(float tag, std::size_t n = 3) {
    Cloud c;
    for (std::size_t i = 0; i < n; ++i) c.push_back(CloudPoint(tag, float(i), 0, 255, 255, 255));
    return c;
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

TEST(TrailFrames, KeepsTheLastLengthMinusOneFramesOldestFirstEachInItsOwnSlot) {
    k740::TrailFrames trail;
    trail.push(frameTagged(1));  // the trail is off: nothing is kept
    EXPECT_EQ(trail.framesKept(), 0);
    EXPECT_TRUE(trail.layers().empty());

    trail.setLength(4);
    for (int k = 1; k <= 2; ++k) trail.push(frameTagged(float(k), std::size_t(k)));
    std::vector<k740::TrailFrames::Layer> layers = trail.layers();
    ASSERT_EQ(layers.size(), 2u);
    const std::size_t slotOfFrame2 = layers[1].slot;
    EXPECT_EQ(trail.newestSlot(), slotOfFrame2);

    for (int k = 3; k <= 6; ++k) trail.push(frameTagged(float(k), std::size_t(k)));
    EXPECT_EQ(trail.framesKept(), 3);
    EXPECT_EQ(trail.pointsKept(), 4u + 5u + 6u);
    layers = trail.layers();
    ASSERT_EQ(layers.size(), 3u);
    // Oldest first: frame 4 (age 3), 5, then 6, shown just before the newest (age 1).
    std::vector<float> tags;
    for (const auto& l : layers) tags.push_back(trail.slotFrame(l.slot).points.front().x);
    EXPECT_EQ(tags, (std::vector<float>{4, 5, 6}));
    EXPECT_EQ(layers[0].age, 3);
    EXPECT_EQ(layers[2].age, 1);
    EXPECT_DOUBLE_EQ(layers[0].fade, k740::trailFade(3, 4));
    EXPECT_EQ(trail.newestSlot(), layers[2].slot);
    // A frame keeps its slot as it ages: the slot that took frame 2 took frame 5 (3 slots).
    EXPECT_EQ(layers[1].slot, slotOfFrame2);
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
    trail.setLength(3);
    trail.push(frameTagged(1, 500));
    trail.clear();
    EXPECT_EQ(trail.bytesHeld(), 0u);
    EXPECT_TRUE(trail.layers().empty());

    trail.setLength(99);  // beyond the longest trail
    EXPECT_EQ(trail.length(), k740::kMaxTrail);
}

TEST(TrailFrames, LongTrailsOfFullRevolutionsKeepEveryNthPointWithinTheBudget) {
    // Twenty frames of 32,000 points (600 rpm): the older ones are thinned evenly, the
    // newest frame is never part of the trail; ten frames of 16,000 stay whole.
    k740::TrailFrames trail;
    trail.setLength(20);
    const k740::Cloud frame = frameTagged(0, 32000);
    for (int k = 0; k < 20; ++k) trail.push(frame);
    EXPECT_LE(trail.pointsKept(), k740::kTrailPointBudget);
    EXPECT_GE(trail.pointsKept(), k740::kTrailPointBudget / 2);
    const std::size_t stride = k740::trailStride(32000, 20);
    const k740::Cloud& kept = trail.slotFrame(trail.newestSlot());
    ASSERT_EQ(kept.points.size(), (32000 + stride - 1) / stride);
    EXPECT_EQ(kept.width, kept.points.size());
    for (std::size_t i = 0; i < kept.points.size(); ++i) ASSERT_EQ(kept.points[i].y, float(i * stride));

    trail.setLength(10);
    trail.push(frameTagged(0, 16000));
    EXPECT_EQ(trail.slotFrame(trail.newestSlot()).points.size(), 16000u);
}
