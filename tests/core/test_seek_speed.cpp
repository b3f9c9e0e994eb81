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

}

TEST(SeekSpeed, PlayResetsTheSpeedsButNotWhichButtonWasUsed) {
    // Forward pressed twice while playing: 2x. Play puts both back to normal; the next forward
    // press goes on to 2x at once instead of landing on normal again.
    k740::SeekOutcome out = pressSeek(SeekCycle(), SeekButton::Forward, true);
    out = pressSeek(out.cycle, SeekButton::Forward, true);
    ASSERT_EQ(out.cycle.forward, SeekSpeed::Double);
    const k740::SeekOutcome reset = k740::resetSeek(out.cycle);
    EXPECT_EQ(reset.playSpeedStep, 0);
    EXPECT_EQ(reset.cycle.forward, SeekSpeed::Normal);
    EXPECT_EQ(reset.cycle.backward, SeekSpeed::Normal);
    EXPECT_EQ(reset.backwardIcon, QStringLiteral("./Resources/images/Seekbackward.png"));
    EXPECT_EQ(reset.forwardIcon, QStringLiteral("./Resources/images/Seekforward.png"));
    out = pressSeek(reset.cycle, SeekButton::Forward, true);
    EXPECT_EQ(out.cycle.forward, SeekSpeed::Double);
    EXPECT_EQ(out.playSpeedStep, 1);
    // The other button's first press still lands on normal.
    out = pressSeek(k740::resetSeek(out.cycle).cycle, SeekButton::Backward, true);
    EXPECT_EQ(out.cycle.backward, SeekSpeed::Normal);
    EXPECT_EQ(out.direction, -1);
}
