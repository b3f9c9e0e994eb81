// The pure side of the viewer's comforts: which remembered settings are taken back, the live
// figures of the status bar, the playback slider's frames and the default name of a snapshot
// (the trail's fading is the display's: display/trail_frames.h). No widgets, no threads, no files.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>

namespace k740 {

// ---- Remembered settings ----

// What the window keeps between runs, as the widgets show it.
struct StoredSettings {
    QString dataPort = QStringLiteral("2368");     // "Port Number"
    QString devicePort = QStringLiteral("2369");   // "Telemetry Port"
    QString group = QStringLiteral("224.1.1.1");   // "Multicast IP"
    int protocol = 0;    // comboBox_agree
    int model = 0;       // comboBoxLidarModel
    int colourMode = 0;  // comboBox_4
    int viewMode = 0;    // comboBox_degree
    int pointSize = 1;   // 1..10
    bool grid = false;
    bool axes = false;
    bool dock = true;    // the data dock shows
    bool realTime = false;  // playback at the recorded pace ("Real time")
    QByteArray geometry;  // QMainWindow::saveGeometry, opaque
    QByteArray windowState;
    QStringList recentFiles;  // newest first, at most kRecentFiles
    QVariantMap lastFolders;  // file dialog caption -> folder
};
constexpr int kRecentFiles = 5;

// How many items each list holds, for the index checks.
struct StoredSettingsLimits {
    int protocols = 2, models = 2, colourModes = 5, viewModes = 2;
};

// Reads stored values by key (absent keys give an invalid QVariant). A value that is no
// longer valid (a port of 70000, a colour mode that does not exist) keeps the default and
// its key is added to *rejected, so the caller can log it; nothing invalid is ever returned.
StoredSettings readStoredSettings(const std::function<QVariant(const QString& key)>& value,
                                  const StoredSettingsLimits& limits, QStringList* rejected);
// The keys and values to store.
QVariantMap storedSettingsValues(const StoredSettings& s);

// The recent-files list after `path` was opened: it goes first, once, at most kRecentFiles.
QStringList withRecentFile(QStringList recent, const QString& path);

// ---- Live figures ----

// Counters read once a second.
struct FigureSample {
    double seconds = 0;              // monotonic time of the reading
    long long framesDrawn = 0;       // frames the view drew
    long long datagrams = 0;         // datagrams the live receiver read
    long long framesDroppedCap = 0;  // frames dropped at the frame cap (no azimuth wrap)
    long long framesDroppedFlight = 0;  // frames dropped on their way to the window
    double secondsSinceDatagram = 0;    // since the last datagram (live only)
};

struct FigureContext {
    bool live = false;          // the live display runs (else a file plays)
    bool pacedPlay = false;     // a file plays at its recorded pace: it drops late frames
    QString sensorAddress;      // from the last device information packet, empty: none yet
    int rpm = -1;               // its rotation speed, -1: none yet
    qint64 recordingBytes = -1;  // the recording's file size, -1: not recording
};

struct FiguresText {
    QString text;
    bool alarm = false;  // shown in red: no data for a while
};
constexpr double kNoDataAlarmSeconds = 2.0;

// "20.0 frames/s · 9,000 packets/s · 0 dropped · sensor 127.0.0.2 · 1200 rpm" from two
// readings; dropped counts since `start` (cap and in-flight apart when both occurred). A file
// played at its recorded pace shows "20.0 frames/s · 3 dropped" (the frames it skipped).
FiguresText figuresText(const FigureSample& start, const FigureSample& previous,
                        const FigureSample& now, const FigureContext& context);

// ---- Seeking ----

// The frame a slider (or counter) value stands for: the counter shows frame numbers from 1,
// 0 before the first; both land on frame 0 then. Clamped into the file's frames.
int frameForSliderValue(int value, int frames);
// The counter value that shows frame index `frame`.
inline int sliderValueForFrame(int frame) { return frame + 1; }

// ---- Snapshot ----

// "k740-<yyyyMMdd-hhmmss>-frame<N>.png".
QString defaultSnapshotFileName(const QDateTime& localTime, int frame);

}  // namespace k740
