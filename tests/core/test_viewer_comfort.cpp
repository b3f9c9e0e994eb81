// The viewer's comforts without a window: remembered values taken back or refused, the live
// figures from counters, the slider's frames and the snapshot's name.
#include <gtest/gtest.h>

#include <QMap>

#include "app/rules/viewer_comfort.h"

namespace {

k740::StoredSettings readFrom(const QMap<QString, QVariant>& stored, QStringList* rejected) {
    return k740::readStoredSettings([&](const QString& key) { return stored.value(key); },
                                    k740::StoredSettingsLimits(), rejected);
}

}  // namespace

TEST(StoredSettings, ValidValuesComeBackAndInvalidOnesKeepTheDefaultAndAreNamed) {
    k740::StoredSettings s;
    s.dataPort = "4001";
    s.devicePort = "4002";
    s.group = "";
    s.protocol = 1;
    s.model = 1;
    s.colourMode = 4;
    s.viewMode = 1;
    s.pointSize = 7;
    s.grid = true;
    s.axes = true;
    s.dock = false;
    s.realTime = true;
    s.recentFiles = QStringList{"/a.pcap", "/b.pcap"};
    s.lastFolders = QVariantMap{{"Save CSV", "/tmp"}};
    QMap<QString, QVariant> stored;
    const QVariantMap values = k740::storedSettingsValues(s);
    for (auto it = values.begin(); it != values.end(); ++it) stored.insert(it.key(), it.value());
    QStringList rejected;
    k740::StoredSettings back = readFrom(stored, &rejected);
    EXPECT_TRUE(rejected.isEmpty()) << rejected.join(',').toStdString();
    EXPECT_EQ(back.dataPort, "4001");
    EXPECT_EQ(back.group, "");
    EXPECT_EQ(back.protocol, 1);
    EXPECT_EQ(back.colourMode, 4);
    EXPECT_EQ(back.pointSize, 7);
    EXPECT_TRUE(back.grid && back.axes && !back.dock && back.realTime);
    EXPECT_EQ(back.recentFiles, s.recentFiles);
    EXPECT_EQ(back.lastFolders.value("Save CSV").toString(), "/tmp");

    // Typed into the file by hand: each bad value falls back alone and is named.
    stored["live/dataPort"] = "70000";
    stored["live/group"] = "10.0.0.1";
    stored["view/colourMode"] = 9;
    stored["lists/protocol"] = "x";
    stored["view/pointSize"] = 0;
    stored["view/grid"] = "maybe";
    stored["playback/realTime"] = "often";
    rejected.clear();
    back = readFrom(stored, &rejected);
    const k740::StoredSettings defaults;
    EXPECT_EQ(back.dataPort, defaults.dataPort);
    EXPECT_EQ(back.group, defaults.group);
    EXPECT_EQ(back.colourMode, defaults.colourMode);
    EXPECT_EQ(back.protocol, defaults.protocol);
    EXPECT_EQ(back.pointSize, defaults.pointSize);
    EXPECT_EQ(back.grid, defaults.grid);
    EXPECT_FALSE(back.realTime);
    EXPECT_EQ(back.devicePort, "4002");  // the good ones stay
    EXPECT_EQ(rejected.size(), 7) << rejected.join(',').toStdString();
    EXPECT_TRUE(rejected.contains("live/dataPort"));

    // Nothing stored at all: the defaults, nothing rejected.
    rejected.clear();
    back = readFrom({}, &rejected);
    EXPECT_TRUE(rejected.isEmpty());
    EXPECT_EQ(back.dataPort, "2368");
}

TEST(StoredSettings, RecentFilesKeepTheNewestFiveOnce) {
    QStringList recent;
    for (const char* f : {"1", "2", "3", "4", "5", "6"}) recent = k740::withRecentFile(recent, f);
    EXPECT_EQ(recent, (QStringList{"6", "5", "4", "3", "2"}));
    recent = k740::withRecentFile(recent, "3");
    EXPECT_EQ(recent, (QStringList{"3", "6", "5", "4", "2"}));
}

TEST(LiveFigures, RatesFromTwoReadingsDropsSinceTheStartAndTheSilenceAlarm) {
    k740::FigureSample start{0.0, 0, 0, 2, 3, 0};
    k740::FigureSample previous{10.0, 100, 90000, 2, 3, 0};
    k740::FigureSample now{11.0, 120, 99000, 2, 3, 0.1};
    k740::FigureContext live;
    live.live = true;
    live.sensorAddress = "127.0.0.2";
    live.rpm = 1200;
    k740::FiguresText f = k740::figuresText(start, previous, now, live);
    EXPECT_EQ(f.text, QString::fromUtf8("20.0 frames/s · 9,000 packets/s · 0 dropped · sensor "
                                        "127.0.0.2 · 1200 rpm"));
    EXPECT_FALSE(f.alarm);

    // Drops are counted from the start, the two kinds apart; a silent stream turns red.
    now.framesDroppedCap = 4;
    now.framesDroppedFlight = 10;
    now.secondsSinceDatagram = 3.4;
    f = k740::figuresText(start, previous, now, live);
    EXPECT_TRUE(f.text.contains("9 dropped (2 at the frame cap, 7 in flight)")) << f.text.toStdString();
    // The sensor's address and speed are no longer live news: they follow as last seen.
    EXPECT_TRUE(f.text.endsWith(QString::fromUtf8(
        "no data for 3 s · last seen: sensor 127.0.0.2, 1200 rpm")))
        << f.text.toStdString();
    EXPECT_EQ(f.text.count("127.0.0.2"), 1);
    EXPECT_TRUE(f.alarm);

    // Before a device packet: no sensor; playback: frames only; recording: the file's size.
    k740::FigureContext playback;
    playback.recordingBytes = 3 * 1024 * 1024;
    f = k740::figuresText(start, previous, now, playback);
    EXPECT_TRUE(f.text.startsWith("20.0 frames/s")) << f.text.toStdString();
    EXPECT_FALSE(f.text.contains("packets/s"));
    EXPECT_FALSE(f.alarm);
    EXPECT_TRUE(f.text.contains("recording 3")) << f.text.toStdString();
    EXPECT_FALSE(f.text.contains("dropped")) << "fixed pauses drop nothing";

    // A file played at its recorded pace: the frames it skipped since the start.
    playback.pacedPlay = true;
    f = k740::figuresText(start, previous, now, playback);
    EXPECT_TRUE(f.text.contains(QString::fromUtf8("20.0 frames/s · 7 dropped"))) << f.text.toStdString();
    EXPECT_FALSE(f.text.contains("packets/s"));
}

TEST(Seeking, SliderValuesNameFramesWithinTheFile) {
    EXPECT_EQ(k740::frameForSliderValue(0, 10), 0);   // before the first: the first
    EXPECT_EQ(k740::frameForSliderValue(1, 10), 0);
    EXPECT_EQ(k740::frameForSliderValue(10, 10), 9);
    EXPECT_EQ(k740::frameForSliderValue(11, 10), 9);  // the slider's count may exceed the frames
    EXPECT_EQ(k740::frameForSliderValue(5, 0), 0);
    for (int f = 0; f < 10; ++f)
        EXPECT_EQ(k740::frameForSliderValue(k740::sliderValueForFrame(f), 10), f);
}

TEST(Snapshot, DefaultNameCarriesTheTimeAndTheFrame) {
    const QDateTime t(QDate(2026, 12, 8), QTime(14, 5, 9));
    EXPECT_EQ(k740::defaultSnapshotFileName(t, 42), "k740-20261208-140509-frame42.png");
}
