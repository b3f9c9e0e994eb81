// The main window's mode table: the refusals with their messages, the transitions between the
// modes and the flags derived from them; the live display's fields.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "app/rules/live_settings.h"
#include "app/rules/window_mode.h"

using k740::Verdict;
using k740::WindowAction;
using k740::WindowEvent;
using k740::WindowMode;
using k740::WindowState;

namespace {

const QString kPlayingRefusesLive = QStringLiteral(
    "The current video is playing and the real - time lidar display cannot be turned on");
const QString kNotLive =
    QStringLiteral("This operation cannot be performed because lidar data is not being played");
const QString kConnectFirst = QStringLiteral("Please connect the lidar first");
const QString kLiveRefusesPlay = QStringLiteral(
    "The real-time lidar data is being played. Please close the lidar connection before playing "
    "offline data ");
const QString kLiveRefusesOpening = QStringLiteral(
    "The real-time lidar data is being played. Please close the lidar connection before opening "
    "a capture file");

TEST(WindowModeTable, RefusalsWithTheirMessages) {
    using A = WindowAction;
    using M = WindowMode;
    using B = Verdict::Box;
    const struct {
        M mode;
        bool fileLoaded, recording;
        A action;
        bool allowed;
        B box;
        QString text;
    } cases[] = {
        // Live and playback exclude each other, each way with its warning; a paused file
        // stays parked while the live display runs.
        {M::Playing, true, false, A::ToggleLive, false, B::Warning, kPlayingRefusesLive},
        {M::PlaybackPaused, true, false, A::ToggleLive, true, B::None, {}},
        {M::Live, true, false, A::Play, false, B::Warning, kLiveRefusesPlay},
        {M::LivePaused, true, false, A::StepFrame, false, B::Warning, kLiveRefusesPlay},
        // What needs the live display.
        {M::Idle, false, false, A::PauseDisplay, false, B::Warning, kNotLive},
        {M::PlaybackPaused, true, false, A::PauseDisplay, false, B::Warning, kNotLive},
        {M::LivePaused, false, false, A::PauseDisplay, true, B::None, {}},
        {M::Playing, true, false, A::OpenExportOptions, false, B::Information, kConnectFirst},
        {M::LivePaused, false, false, A::OpenExportOptions, true, B::None, {}},
        {M::Idle, false, false, A::ToggleRecording, false, B::Information, kConnectFirst},
        // Stopping a running recording is never refused.
        {M::Idle, false, true, A::ToggleRecording, true, B::None, {}},
        {M::Playing, true, true, A::ToggleRecording, true, B::None, {}},
        // Quiet refusals: nothing loaded to play or step, Open while a file is in play.
        {M::Idle, false, false, A::Play, false, B::None, {}},
        {M::Idle, false, false, A::StepFrame, false, B::None, {}},
        {M::Playing, true, false, A::StepFrame, false, B::None, {}},
        {M::Playing, true, false, A::OpenFile, false, B::None, {}},
        {M::PlaybackPaused, true, false, A::OpenFile, false, B::None, {}},
        {M::PlaybackPaused, true, false, A::StepFrame, true, B::None, {}},
        {M::Idle, true, false, A::Play, true, B::None, {}},
        // A file opened while live would load behind the live cloud: refused as Play is,
        // also with a paused file parked beside the live display.
        {M::Live, false, false, A::OpenFile, false, B::Warning, kLiveRefusesOpening},
        {M::LivePaused, true, false, A::OpenFile, false, B::Warning, kLiveRefusesOpening},
        {M::Idle, true, false, A::OpenFile, true, B::None, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(k740::modeName(c.mode)) + " / " + k740::actionName(c.action) +
                     (c.fileLoaded ? " / file loaded" : "") + (c.recording ? " / recording" : ""));
        const WindowState s(c.mode, c.fileLoaded, c.recording);
        const Verdict v = k740::mayRun(s, c.action);
        EXPECT_EQ(v.allowed, c.allowed);
        EXPECT_EQ(v.box, c.box);
        EXPECT_EQ(v.text, c.text);
    }

    // In every state: a refusal with a box is titled "warn" and says why; anything else says
    // nothing.
    for (const bool fileLoaded : {false, true})
        for (const bool recording : {false, true})
            for (const WindowMode m : k740::kAllModes)
                for (const WindowAction a : k740::kAllActions) {
                    const WindowState s(m, fileLoaded, recording);
                    const Verdict v = k740::mayRun(s, a);
                    const bool box = v.box != Verdict::Box::None;
                    EXPECT_TRUE(!box || !v.allowed) << k740::actionName(a);
                    EXPECT_EQ(v.title, box ? QStringLiteral("warn") : QString());
                    EXPECT_EQ(v.text.isEmpty(), !box) << k740::actionName(a);
                }
}

TEST(WindowModeTable, TransitionsFollowTheButtons) {
    // From each mode, where each event leads (unchanged where the event does not apply).
    const std::map<std::pair<WindowMode, WindowEvent>, WindowMode> moves = {
        {{WindowMode::Idle, WindowEvent::LiveOn}, WindowMode::Live},
        {{WindowMode::PlaybackPaused, WindowEvent::LiveOn}, WindowMode::Live},
        {{WindowMode::Live, WindowEvent::LiveOff}, WindowMode::Idle},
        {{WindowMode::LivePaused, WindowEvent::LiveOff}, WindowMode::Idle},
        {{WindowMode::Live, WindowEvent::DisplayPaused}, WindowMode::LivePaused},
        {{WindowMode::LivePaused, WindowEvent::DisplayResumed}, WindowMode::Live},
        {{WindowMode::Idle, WindowEvent::PlaybackStarted}, WindowMode::Playing},
        {{WindowMode::PlaybackPaused, WindowEvent::PlaybackStarted}, WindowMode::Playing},
        {{WindowMode::Playing, WindowEvent::PlaybackPaused}, WindowMode::PlaybackPaused},
        {{WindowMode::Playing, WindowEvent::PlaybackEnded}, WindowMode::Idle},
        {{WindowMode::PlaybackPaused, WindowEvent::PlaybackEnded}, WindowMode::Idle},
    };
    const WindowEvent events[] = {WindowEvent::LiveOn,          WindowEvent::LiveOff,
                                  WindowEvent::DisplayPaused,   WindowEvent::DisplayResumed,
                                  WindowEvent::PlaybackStarted, WindowEvent::PlaybackPaused,
                                  WindowEvent::PlaybackEnded};
    for (const WindowMode m : k740::kAllModes) {
        for (const WindowEvent e : events) {
            const auto it = moves.find({m, e});
            const WindowMode expected = it == moves.end() ? m : it->second;
            EXPECT_EQ(k740::nextMode(m, e), expected)
                << k740::modeName(m) << " after event " << static_cast<int>(e);
        }
    }
    // Live and playback never mix: no event takes a live mode into playback or back.
    for (const WindowMode m : {WindowMode::Live, WindowMode::LivePaused})
        for (const WindowEvent e : events) EXPECT_NE(k740::nextMode(m, e), WindowMode::Playing);
}

TEST(WindowModeTable, FlagsFollowTheModeAndTheEndReport) {
    struct Row {
        WindowMode mode;
        bool live, display, notPlayingOffline, playback;
    };
    const Row rows[] = {
        {WindowMode::Idle, false, true, true, false},
        {WindowMode::Live, true, true, true, false},
        {WindowMode::LivePaused, true, false, true, false},
        {WindowMode::Playing, false, true, false, true},
        {WindowMode::PlaybackPaused, false, true, true, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(k740::modeName(r.mode));
        const WindowState s(r.mode);
        EXPECT_EQ(k740::liveRunning(s), r.live);
        EXPECT_EQ(k740::displayRunning(s), r.display);
        EXPECT_EQ(k740::notPlayingOffline(s), r.notPlayingOffline);
        EXPECT_EQ(k740::playbackActive(s), r.playback);
    }

    // The end report marks the file finished; the next start clears it. An end report that
    // reaches a live window (a step still on its way) changes neither mode nor flag.
    // The named flag reads the state as it is now, not as it was when made.
    WindowState s;
    const k740::ModeFlag playing(s, &k740::playbackActive);
    s.apply(WindowEvent::FileOpened);
    s.apply(WindowEvent::PlaybackStarted);
    EXPECT_TRUE(playing);
    s.apply(WindowEvent::PlaybackEnded);
    EXPECT_FALSE(playing);
    EXPECT_EQ(s.mode(), WindowMode::Idle);
    EXPECT_TRUE(k740::playbackFinished(s));
    s.apply(WindowEvent::PlaybackStarted);
    EXPECT_FALSE(k740::playbackFinished(s));
    s.apply(WindowEvent::PlaybackPaused);
    s.apply(WindowEvent::LiveOn);
    s.apply(WindowEvent::PlaybackEnded);
    EXPECT_EQ(s.mode(), WindowMode::Live);
    EXPECT_FALSE(k740::playbackFinished(s));
}

TEST(WindowModeTable, FollowersHearOfEachChangeAndOnlyOfChanges) {
    // A seek past the end, a new file and a recording change the facts beside the mode; an
    // event that does not apply changes nothing and is not told.
    WindowState s;
    std::vector<WindowMode> heard;
    s.follow([&heard](const WindowState& now) { heard.push_back(now.mode()); });
    s.apply(WindowEvent::PlaybackPaused);
    s.apply(WindowEvent::LiveOff);
    EXPECT_TRUE(heard.empty());

    s.apply(WindowEvent::FileOpened);
    s.apply(WindowEvent::FileOpened);
    EXPECT_TRUE(s.fileLoaded());
    s.apply(WindowEvent::PlaybackStarted);
    s.apply(WindowEvent::PlaybackEnded);
    EXPECT_TRUE(s.finished());
    s.apply(WindowEvent::FrameShown);
    EXPECT_FALSE(s.finished());
    s.apply(WindowEvent::LiveOn);
    s.apply(WindowEvent::RecordingStarted);
    EXPECT_TRUE(s.recording());
    s.apply(WindowEvent::LiveOff);
    EXPECT_TRUE(s.recording());  // a recording outlives the live display
    s.apply(WindowEvent::RecordingStopped);
    EXPECT_FALSE(s.recording());
    EXPECT_EQ(heard, (std::vector<WindowMode>{WindowMode::Idle, WindowMode::Playing, WindowMode::Idle,
                                              WindowMode::Idle, WindowMode::Live, WindowMode::Live,
                                              WindowMode::Idle, WindowMode::Idle}));

    // Paused within a file and parked beside the live display, a newly opened file is not
    // parked: the live display going off leaves the window idle.
    WindowState parked(WindowMode::PlaybackPaused, true);
    parked.apply(WindowEvent::LiveOn);
    EXPECT_TRUE(parked.fileParked());
    parked.apply(WindowEvent::FileOpened);
    parked.apply(WindowEvent::LiveOff);
    EXPECT_EQ(parked.mode(), WindowMode::Idle);
}

TEST(WindowModeTable, APausedFileOutlivesALiveExcursion) {
    // Paused within a file, the live display goes on and off (paused in between): the file is
    // paused again, so single steps move the counter and the speed buttons cycle.
    WindowState s;
    s.apply(WindowEvent::FileOpened);
    s.apply(WindowEvent::PlaybackStarted);
    s.apply(WindowEvent::PlaybackPaused);
    s.apply(WindowEvent::LiveOn);
    EXPECT_FALSE(k740::playbackActive(s));
    s.apply(WindowEvent::DisplayPaused);
    s.apply(WindowEvent::LiveOff);
    EXPECT_EQ(s.mode(), WindowMode::PlaybackPaused);
    EXPECT_TRUE(k740::playbackActive(s));
    EXPECT_TRUE(k740::mayRun(s, k740::WindowAction::StepFrame).allowed);
    // Only that once: live from idle ends in idle again.
    s.apply(WindowEvent::PlaybackEnded);
    s.apply(WindowEvent::LiveOn);
    s.apply(WindowEvent::LiveOff);
    EXPECT_EQ(s.mode(), WindowMode::Idle);
}

TEST(LiveSettingsFields, PortsTakeOnlyOneTo65535) {
    std::uint16_t port = 7;
    for (const char* bad : {"0", "70000", "65536", "", "   ", "abc", "-1", "+5", "23 68", "2368.0",
                            "0x10", "999999", "2368a"}) {
        EXPECT_FALSE(k740::parsePortField(QString::fromLatin1(bad), &port)) << '"' << bad << '"';
        EXPECT_EQ(port, 7);
    }
    EXPECT_TRUE(k740::parsePortField(QStringLiteral("1"), &port));
    EXPECT_EQ(port, 1);
    EXPECT_TRUE(k740::parsePortField(QStringLiteral("65535"), &port));
    EXPECT_EQ(port, 65535);
    EXPECT_TRUE(k740::parsePortField(QStringLiteral(" 2368 "), &port));
    EXPECT_EQ(port, 2368);
}

TEST(LiveSettingsFields, GroupIsAMulticastGroupOrNothing) {
    for (const char* good : {"", "  ", "224.1.1.1", "224.0.0.0", "239.255.255.255"})
        EXPECT_TRUE(k740::isGroupField(QString::fromLatin1(good))) << good;
    // An address that is no group would leave the live display on without a group joined.
    for (const char* bad : {"abc", "224.1.1", "224.1.1.1.1", "224.1.1.256", "224,1,1,1", "::1",
                            "224.1.1.1x", "192.168.1.222", "10.0.0.1", "0.0.0.0",
                            "223.255.255.255", "240.0.0.0", "255.255.255.255"})
        EXPECT_FALSE(k740::isGroupField(QString::fromLatin1(bad))) << bad;
}

TEST(LiveSettingsFields, DisplayAngleTakesZeroTo180AndKeepsTheLimitOtherwise) {
    float limit = 42.0f;
    for (const char* bad : {"abc", "", "  ", "-5", "180.5", "1e9", "nan", "12deg"}) {
        EXPECT_FALSE(k740::parseDisplayAngleField(QString::fromLatin1(bad), &limit)) << bad;
        EXPECT_EQ(limit, 42.0f);
    }
    EXPECT_TRUE(k740::displayAngleRefusal(QStringLiteral("abc"))
                    .contains(QString::fromUtf8("\xe6\x98\xbe\xe7\xa4\xba\xe8\xa7\x92\xe5\xba\xa6")));
    EXPECT_TRUE(k740::parseDisplayAngleField(QStringLiteral(" 0 "), &limit));
    EXPECT_EQ(limit, 0.0f);
    EXPECT_TRUE(k740::parseDisplayAngleField(QStringLiteral("22.5"), &limit));
    EXPECT_EQ(limit, 22.5f);
    EXPECT_TRUE(k740::parseDisplayAngleField(QStringLiteral("180"), &limit));
    EXPECT_EQ(limit, 180.0f);
}

TEST(LiveSettingsFields, RefusalNamesTheFieldAndChangesNothing) {
    struct Case {
        const char* data;
        const char* device;
        const char* group;
        const char* field;  // named in the message
    };
    // Which texts are ports or groups is the field checks' test above; here each field once.
    const Case cases[] = {
        {"0", "2369", "224.1.1.1", "Port Number"},
        {"", "2369", "", "Port Number"},
        {"2368", "70000", "", "Telemetry Port"},
        {"2368", "2369", "224.1.1", "Multicast IP"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.data) + " / " + c.device + " / " + c.group);
        k740::LiveSettings settings;
        settings.dataPort = 11;
        const Verdict v =
            k740::readLiveSettings(QString::fromLatin1(c.data), QString::fromLatin1(c.device),
                                   QString::fromLatin1(c.group), &settings);
        EXPECT_FALSE(v.allowed);
        EXPECT_EQ(v.box, Verdict::Box::Warning);
        EXPECT_EQ(v.title, QStringLiteral("warn"));
        EXPECT_TRUE(v.text.contains(QLatin1String(c.field))) << v.text.toStdString();
        // A typed value that is not empty is shown back to the operator.
        const QString typed = QString::fromLatin1(c.field[0] == 'M'   ? c.group
                                                  : c.field[0] == 'P' ? c.data
                                                                      : c.device);
        if (!typed.isEmpty()) {
            EXPECT_TRUE(v.text.contains(typed)) << v.text.toStdString();
        }
        EXPECT_EQ(settings.dataPort, 11);
    }

    k740::LiveSettings settings;
    const Verdict ok = k740::readLiveSettings(QStringLiteral("2368"), QStringLiteral(" 2369"),
                                              QStringLiteral(" 224.1.1.1 "), &settings);
    EXPECT_TRUE(ok.allowed);
    EXPECT_EQ(settings.dataPort, 2368);
    EXPECT_EQ(settings.devicePort, 2369);
    EXPECT_EQ(settings.group, QStringLiteral("224.1.1.1"));
}

}  // namespace
