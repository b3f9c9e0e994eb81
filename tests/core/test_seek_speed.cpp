// The speed buttons' cycles: which speed, step, direction and icons a press leads to.
#include <gtest/gtest.h>

#include "app/rules/seek_speed.h"

using k740::pressSeek;
using k740::SeekButton;
using k740::SeekCycle;
using k740::SeekSpeed;

TEST(SeekSpeed, ForwardPressesLandOnNormalThenCycleThroughAllSpeeds) {
    SeekCycle cycle;
    k740::SeekOutcome out = pressSeek(cycle, SeekButton::Forward, true);
    EXPECT_EQ(out.cycle.forward, SeekSpeed::Normal);
    EXPECT_EQ(out.playSpeedStep, 0);
    EXPECT_EQ(out.direction, 1);
    EXPECT_EQ(out.forwardIcon, QStringLiteral("./Resources/images/Seekforward.png"));
    EXPECT_EQ(out.backwardIcon, QStringLiteral("./Resources/images/Seekbackward.png"));

    const struct {
        int step;
        const char* icon;
    } expected[] = {{1, "./Resources/images/Seekforward_2x.png"},
                    {2, "./Resources/images/Seekforward_3x.png"},
                    {3, "./Resources/images/Seekforward_0.5x.png"},
                    {4, "./Resources/images/Seekforward_0.25x.png"},
                    {0, "./Resources/images/Seekforward.png"}};
    for (const auto& e : expected) {
        out = pressSeek(out.cycle, SeekButton::Forward, true);
        EXPECT_EQ(out.playSpeedStep, e.step);
        EXPECT_EQ(out.forwardIcon, QString::fromLatin1(e.icon));
        EXPECT_TRUE(out.backwardIcon.isEmpty()) << "the other button is left alone";
        EXPECT_EQ(out.direction, 1);
    }
}

TEST(SeekSpeed, SwitchingButtonsStartsAtNormalAndResetsTheOtherIcon) {
    SeekCycle cycle;
    k740::SeekOutcome out = pressSeek(cycle, SeekButton::Forward, true);
    out = pressSeek(out.cycle, SeekButton::Forward, true);  // 2x forward
    out = pressSeek(out.cycle, SeekButton::Forward, true);  // 3x forward
    ASSERT_EQ(out.playSpeedStep, 2);

    out = pressSeek(out.cycle, SeekButton::Backward, true);
    EXPECT_EQ(out.direction, -1);
    EXPECT_EQ(out.playSpeedStep, 0);
    EXPECT_EQ(out.cycle.forward, SeekSpeed::Normal);
    EXPECT_EQ(out.forwardIcon, QStringLiteral("./Resources/images/Seekforward.png"));
    EXPECT_EQ(out.backwardIcon, QStringLiteral("./Resources/images/Seekbackward.png"));
    out = pressSeek(out.cycle, SeekButton::Backward, true);
    EXPECT_EQ(out.playSpeedStep, 1);
    EXPECT_EQ(out.backwardIcon, QStringLiteral("./Resources/images/Seekbackward_2x.png"));

    // Back to forward: normal forward, not where the forward cycle stood before.
    out = pressSeek(out.cycle, SeekButton::Forward, true);
    EXPECT_EQ(out.direction, 1);
    EXPECT_EQ(out.playSpeedStep, 0);
    EXPECT_EQ(out.backwardIcon, QStringLiteral("./Resources/images/Seekbackward.png"));
}

TEST(SeekSpeed, WithoutAPlayingFileAPressOnlyResetsItsOwnButton) {
    SeekCycle cycle;
    cycle.forward = SeekSpeed::Half;
    cycle.backward = SeekSpeed::Triple;
    cycle.forwardSeekUsed = true;
    const k740::SeekOutcome out = pressSeek(cycle, SeekButton::Forward, false);
    EXPECT_EQ(out.cycle.forward, SeekSpeed::Normal);
    EXPECT_EQ(out.cycle.backward, SeekSpeed::Triple);
    EXPECT_EQ(out.playSpeedStep, 0);
    EXPECT_EQ(out.direction, 0);
    EXPECT_EQ(out.forwardIcon, QStringLiteral("./Resources/images/Seekforward.png"));
    EXPECT_TRUE(out.backwardIcon.isEmpty());

    const k740::SeekOutcome reset = k740::resetSeek();
    EXPECT_EQ(reset.playSpeedStep, 0);
    EXPECT_FALSE(reset.cycle.forwardSeekUsed || reset.cycle.backwardSeekUsed);
    EXPECT_EQ(reset.backwardIcon, QStringLiteral("./Resources/images/Seekbackward.png"));
}
