// The service code check and the channel selection table without a window.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <algorithm>

#include "app/rules/service_code.h"
#include "display/channel_selection.h"

using namespace k740;

TEST(ServiceCode, OnlyTheDocumentedCodeIsAccepted) {
    EXPECT_TRUE(serviceCodeAccepted(QStringLiteral("k740service")));
    for (const char* wrong : {"", "k740service ", "K740SERVICE", "k740servic", "k740servicek"})
        EXPECT_FALSE(serviceCodeAccepted(QString::fromLatin1(wrong))) << wrong;
    // The salt goes before the code.
    EXPECT_EQ(saltedCodeDigest("ab", QStringLiteral("c")),
              QCryptographicHash::hash("abc", QCryptographicHash::Sha256));
    EXPECT_FALSE(constantTimeEqual("abc", "abd"));
    EXPECT_FALSE(constantTimeEqual("abc", "ab"));
    EXPECT_FALSE(constantTimeEqual("", "a"));
    EXPECT_TRUE(constantTimeEqual("abc", "abc"));
}

TEST(ChannelTable, AnglesAndChannelsPerDegreeMode) {
    const auto mode0 = channelTable(0), mode1 = channelTable(1);
    ASSERT_TRUE(mode0 && mode1);
    EXPECT_EQ((*mode0)[0].angle, "-15");
    EXPECT_EQ((*mode0)[7].angle, "-1");
    EXPECT_EQ((*mode0)[7].channel, "14");
    EXPECT_EQ((*mode0)[8].channel, "1");
    EXPECT_EQ((*mode1)[1].angle, "-8.665");
    EXPECT_EQ((*mode1)[10].angle, "3.33");
    for (int row = 0; row < kChannelCount; ++row)
        EXPECT_EQ((*mode1)[row].channel, (*mode0)[row].channel);
    EXPECT_FALSE(channelTable(2));
    EXPECT_FALSE(channelTable(-1));
}

TEST(ChannelTable, BothShortcutsShareOneToggle) {
    auto count = [](const RowChecks& c) { return std::count(c.begin(), c.end(), true); };
    SelectionToggle t;
    EXPECT_EQ(count(t.allOrNone()), 0);   // the first click unchecks, though all start checked
    const RowChecks odd = t.alternate();  // the toggle is now true: odd rows
    for (int row = 0; row < kChannelCount; ++row) EXPECT_EQ(odd[row], row % 2 == 1) << row;
    EXPECT_EQ(count(t.allOrNone()), 0);  // false again
    EXPECT_EQ(count(t.allOrNone()), kChannelCount);
    const RowChecks even = SelectionToggle().alternate();
    for (int row = 0; row < kChannelCount; ++row) EXPECT_EQ(even[row], row % 2 == 0) << row;
}
