// The Offline tab's playback room: opening a capture file (file dialog, progress dialog,
// slider range), play and pause, single steps, the two speed cycles with their icons, the
// frame counter and the player's end report. The main window hands it the widgets it drives,
// the player, the live receiver (paused while a file plays) and the window's state; the
// window's slots forward here.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

#include "acquisition/lidar_frame.h"

#include "app/rules/frame_position.h"
#include "app/rules/seek_speed.h"
#include "app/rules/window_mode.h"

class QAbstractButton;
class QComboBox;
class QEvent;
class QLabel;
class QProgressBar;
class QSlider;
class QSpinBox;
class QUrl;
class QWidget;
class GetlidarData_1;
class ReadLiveOffData;

namespace k740 {

class PlaybackRoom : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QAbstractButton* open = nullptr;          // "Open"
        QAbstractButton* play = nullptr;          // play / pause
        QAbstractButton* goToStart = nullptr;     // one frame backward
        QAbstractButton* goToEnd = nullptr;       // one frame forward
        QAbstractButton* seekForward = nullptr;   // forward speed cycle
        QAbstractButton* seekBackward = nullptr;  // backward speed cycle
        QSlider* slider = nullptr;                // frame position
        QSpinBox* spinBox = nullptr;              // frame position
        QProgressBar* progressBar = nullptr;      // analysis progress ("analysedata")
        QLabel* progressLabel = nullptr;          // "文件加载：" ("LabFileLoading")
        QComboBox* model = nullptr;               // "K740" / "K740防爆协议"
    };

    // dialogParent: parent of the message boxes and dialogs. liveStartedOnce: whether the
    // live display has ever been switched on. The player, the receiver and the state outlive
    // the room.
    PlaybackRoom(QWidget* dialogParent, const Widgets& widgets, ReadLiveOffData* player,
                 GetlidarData_1* receiver, std::function<bool()> liveStartedOnce,
                 WindowState& state, QObject* parent = nullptr);

    // "Open" clicked: asks for a file and opens it.
    void openClicked();
    // Opens a capture file in the mode the model list shows now, with the progress dialog.
    // A file that cannot be opened is named in a warning and changes nothing; the previous
    // file stays loaded. True when the file is loaded.
    bool openFile(const QString& path);
    // Play / pause clicked.
    void playClicked();
    // Single steps while paused.
    void stepForwardClicked();
    void stepBackwardClicked();
    // Speed buttons.
    void seekForwardClicked();
    void seekBackwardClicked();
    // The player's end report (FinshorStart).
    void finishedOrStarted(bool finished);

    // Seeking: the frame (index from 0) is shown at once while the player waits, or next
    // while it plays; play goes on from there in the current direction. Nothing while the
    // live display runs or no file is loaded.
    void seekToFrame(int frame);
    // Keyboard on the Offline tab: Space plays and pauses, Left/Right step while the file does
    // not play (each press one frame), Home/End go to the first/last frame. `page` is the
    // tab's page.
    void addKeys(QWidget* page);

    // The five files opened last, newest first (the Open button's menu offers them).
    QStringList recentFiles() const { return m_Recent; }
    void setRecentFiles(const QStringList& files);
    // Capture files dropped onto the window: the first local file opens as "Open" does.
    bool openDropped(const QList<QUrl>& urls);

    QString fileName() const { return m_FileName; }
    ReadLiveOffData* player() const { return m_Player; }
    // The loaded file's frames (the slider runs over them) and the counter's value.
    int frameCount() const { return m_Position.frames; }
    int frameIndex() const { return counterValue(m_Position); }
    const FramePosition& position() const { return m_Position; }
    int playPresses() const { return m_PlayPresses; }
    bool forward() const { return m_Forward; }
    bool backward() const { return m_Backward; }
    // The run-time icon paths the buttons show now ("./Resources/images/...").
    QString playIcon() const { return m_PlayIcon; }
    QString seekForwardIcon() const { return m_ForwardIcon; }
    QString seekBackwardIcon() const { return m_BackwardIcon; }

    // The file that "./Resources/images/X.png" names: beside the program.
    static QString runtimeIconFile(const QString& relativePath);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // A further file was opened after the first one played: the view is emptied.
    void viewResetNeeded();
    // A frame the window shows at once (seeking while the player waits).
    void frameToShow(LidarDataSingleLine frame);

private:
    void onFrameIndex(int index);
    void onAnalysisProgress(int percent);
    void setPlayIcon(const QString& path);
    void applySeek(const SeekOutcome& outcome);
    void setSteppingEnabled(bool enabled);
    void setLiveReceiverPaused(bool paused);
    void step(SeekButton direction);
    // A move by a key: quietly nothing when it may not run now.
    void moveByKey(FrameMove move);
    // The slider and the counter show m_Position; their own signals stay quiet, so only the
    // operator's changes seek.
    void showPosition();
    // The keys act with the focus inside the Offline page: when the page comes up or a file
    // opens there, the focus goes to the slider unless it is in the page already.
    void focusTransport();
    // The operator changed the slider or the counter.
    void onSliderChanged(int value);
    void onCounterChanged(int value);
    void rebuildRecentMenu();

    QPointer<QWidget> m_DialogParent;
    QPointer<QWidget> m_Page;  // the Offline tab's page (addKeys)
    Widgets m_W;
    ReadLiveOffData* m_Player;
    GetlidarData_1* m_Receiver;
    std::function<bool()> m_LiveStartedOnce;
    WindowState& m_State;

    SeekCycle m_Seek;
    bool m_Forward = true;
    bool m_Backward = false;
    int m_PlayPresses = 1;
    QString m_FileName;
    FramePosition m_Position;
    bool m_FileShown = false;  // a frame of the loaded file has been drawn
    QString m_PlayIcon;
    QString m_ForwardIcon;
    QString m_BackwardIcon;
    QStringList m_Recent;
};

}  // namespace k740
