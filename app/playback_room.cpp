// The playback room: the Offline tab's transport around the capture-file player.
#include "app/playback_room.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QShortcut>
#include <QToolButton>
#include <QUrl>
#include <QProgressDialog>
#include <QSlider>
#include <QSpinBox>
#include <algorithm>
#include <memory>
#include <utility>

#include "acquisition/GetlidarData_1.h"
#include "display/dialogs_seam.h"
#include "app/mode_refusal.h"
#include "app/rules/viewer_comfort.h"
#include "resources/runtime_icons.h"
#include "playback/ReadLiveOffData.h"

namespace k740 {

namespace {
const QString kPlayIcon = QStringLiteral("./Resources/images/Play.png");
const QString kPauseIcon = QStringLiteral("./Resources/images/Pause.png");
const QString kProgressIcon = QStringLiteral("./Resources/image/kestrel.png");
}  // namespace

QString PlaybackRoom::runtimeIconFile(const QString& relativePath) {
    return k740::runtimeFilePath(relativePath);
}

PlaybackRoom::PlaybackRoom(QWidget* dialogParent, const Widgets& widgets, ReadLiveOffData* player,
                           GetlidarData_1* receiver, std::function<bool()> liveStartedOnce,
                           WindowState& state, QObject* parent)
    : QObject(parent),
      m_DialogParent(dialogParent),
      m_W(widgets),
      m_Player(player),
      m_Receiver(receiver),
      m_LiveStartedOnce(std::move(liveStartedOnce)),
      m_State(state),
      m_PlayIcon(kPlayIcon),
      m_ForwardIcon(seekIconPath(SeekButton::Forward, SeekSpeed::Normal)),
      m_BackwardIcon(seekIconPath(SeekButton::Backward, SeekSpeed::Normal)) {
    // The frame counter follows the frame the player shows; the progress bar its analysis.
    connect(m_Player, &ReadLiveOffData::sendFrameIndex, this, &PlaybackRoom::onFrameIndex,
            Qt::UniqueConnection);
    connect(m_Player, &ReadLiveOffData::SendanalysisDataschedule, this,
            &PlaybackRoom::onAnalysisProgress);
    // The slider dragged and a number typed into the counter seek; the counter and the slider
    // follow each other as before.
    if (m_W.slider)
        connect(m_W.slider, &QSlider::sliderMoved, this,
                [this](int value) { seekToFrame(frameForSliderValue(value, m_Player->frameCount())); });
    if (m_W.spinBox)
        connect(m_W.spinBox, &QSpinBox::editingFinished, this, [this] {
            if (m_W.spinBox->hasFocus() && m_W.spinBox->value() != m_FrameIndex)
                seekToFrame(frameForSliderValue(m_W.spinBox->value(), m_Player->frameCount()));
        });
}

void PlaybackRoom::openClicked() {
    if (!allowedNow(m_DialogParent, m_State, WindowAction::OpenFile)) return;
    const QString name =
        Dialogs::getOpenFileName(m_DialogParent, QStringLiteral("WireSharkCaptureFile"), QString(),
                                 QStringLiteral("Supported Files (*.pcap)"));
    QCoreApplication::processEvents();
    if (name.isEmpty()) return;
    openFile(name);
}

bool PlaybackRoom::openFile(const QString& path) {
    if (!allowedNow(m_DialogParent, m_State, WindowAction::OpenFile)) return false;
    const bool singleLine = m_W.model && m_W.model->currentIndex() != 0;

    CaptureOpenResult result;
    {
        auto progress = std::make_unique<QProgressDialog>(m_DialogParent);
        progress->setLabelText(QStringLiteral("Opening file..."));
        progress->setCancelButton(nullptr);
        progress->setRange(0, 10);
        progress->setWindowTitle(QStringLiteral("Please wait a moment"));
        progress->setFixedWidth(200);
        progress->setMinimumDuration(5);
        progress->setWindowIcon(QIcon(runtimeIconFile(kProgressIcon)));
        progress->setWindowModality(Qt::ApplicationModal);
        QProgressDialog* dialog = progress.get();
        result = m_Player->open(path, singleLine, [dialog](int percent) {
            dialog->setValue(percent / 10);
            return true;
        });
    }
    if (!result.opened) {
        // The previous file, its frame count and the transport stay as they were.
        Dialogs::warning(m_DialogParent, QStringLiteral("warn"),
                         QStringLiteral("The capture file \"%1\" cannot be opened: %2")
                             .arg(QDir::toNativeSeparators(path), result.error));
        return false;
    }
    qDebug().noquote() << result.milliseconds << "ms"
                       << "PacketSize:" << result.packets;
    // What was read plays; the operator learns what was not, and a file without frames does
    // not silently leave an empty view.
    const QString shown = QDir::toNativeSeparators(path);
    if (!result.complete)
        Dialogs::warning(m_DialogParent, QStringLiteral("warn"),
                         QStringLiteral("The capture file \"%1\" could not be read to its end (%2). "
                                        "The %3 frames before that can be played.")
                             .arg(shown, result.error)
                             .arg(result.sliderFrames));
    else if (result.sliderFrames == 0)
        Dialogs::information(m_DialogParent, QStringLiteral("warn"),
                             QStringLiteral("There are no frames in the capture file \"%1\" in "
                                            "the format \"%2\" (the model list on the K740-P tab).")
                                 .arg(shown, m_W.model ? m_W.model->currentText() : QString()));

    setRecentFiles(withRecentFile(m_Recent, path));
    // The player has released the previous file; a file that was played leaves the view.
    if (m_PlayPresses > 1) emit viewResetNeeded();
    m_PlayPresses = 1;
    m_FileName = path;
    m_State.fileLoaded = true;
    m_State.finished = false;
    m_State.fileParked = false;  // a new file starts from its beginning, not where one was paused
    setPlayIcon(kPlayIcon);
    m_FrameCount = result.sliderFrames;
    m_FrameIndex = 0;
    for (QAbstractButton* b :
         {m_W.play, m_W.goToStart, m_W.goToEnd, m_W.seekForward, m_W.seekBackward})
        if (b) b->setEnabled(true);
    if (m_W.spinBox) {
        m_W.spinBox->setRange(0, m_FrameCount);
        m_W.spinBox->setValue(0);
    }
    if (m_W.slider) {
        m_W.slider->setRange(0, m_FrameCount);
        m_W.slider->setValue(0);
    }
    return true;
}

void PlaybackRoom::playClicked() {
    if (!allowedNow(m_DialogParent, m_State, WindowAction::Play)) return;
    applySeek(resetSeek(m_Seek));
    if (m_W.open) m_W.open->setEnabled(false);

    if (notPlayingOffline(m_State)) {
        // Start, restart after the end, or resume.
        if (m_LiveStartedOnce && m_LiveStartedOnce()) setLiveReceiverPaused(true);
        const bool wasFinished = m_State.finished;
        setPlayIcon(kPauseIcon);
        m_State.apply(WindowEvent::PlaybackStarted);
        m_Forward = true;
        m_Backward = false;
        stepOnce = 0;
        playDirection = 1;
        m_Player->play();
        if (wasFinished) {
            m_FrameIndex = 0;
            if (m_W.spinBox) m_W.spinBox->setValue(0);
        }
        ++m_PlayPresses;
        setSteppingEnabled(false);
    } else {
        setPlayIcon(kPlayIcon);
        m_Forward = true;
        m_Player->pause();
        m_State.apply(WindowEvent::PlaybackPaused);
        setSteppingEnabled(true);
    }
}

void PlaybackRoom::stepForwardClicked() { step(SeekButton::Forward); }

void PlaybackRoom::stepBackwardClicked() { step(SeekButton::Backward); }

void PlaybackRoom::step(SeekButton direction) {
    if (!allowedNow(m_DialogParent, m_State, WindowAction::StepFrame)) return;
    // Nothing shown yet in this pass, or the pass has ended: nothing to step from.
    if (m_FrameIndex == 0 || m_State.finished) {
        stepOnce = 0;
        return;
    }
    const bool forward = direction == SeekButton::Forward;
    m_Forward = forward;
    m_Backward = !forward;
    // The step's speed button shows normal speed.
    SeekOutcome normal;
    normal.cycle = m_Seek;
    (forward ? normal.cycle.forward : normal.cycle.backward) = SeekSpeed::Normal;
    normal.playSpeedStep = playSpeedStep.load();
    (forward ? normal.forwardIcon : normal.backwardIcon) =
        seekIconPath(direction, SeekSpeed::Normal);
    applySeek(normal);
    if (forward)
        m_Player->stepForward();
    else
        m_Player->stepBackward();
}

void PlaybackRoom::seekForwardClicked() {
    applySeek(pressSeek(m_Seek, SeekButton::Forward, playbackActive(m_State) && !m_State.finished));
}

void PlaybackRoom::seekBackwardClicked() {
    applySeek(
        pressSeek(m_Seek, SeekButton::Backward, playbackActive(m_State) && !m_State.finished));
}

void PlaybackRoom::finishedOrStarted(bool finished) {
    if (finished) {
        m_State.apply(WindowEvent::PlaybackEnded);
        m_FrameIndex = 0;
        if (m_W.spinBox) m_W.spinBox->setValue(0);
        applySeek(resetSeek(m_Seek));
        if (m_W.open) m_W.open->setEnabled(true);
    }
    m_Forward = true;
    setPlayIcon(kPlayIcon);
    setSteppingEnabled(true);
    if (m_LiveStartedOnce && m_LiveStartedOnce()) setLiveReceiverPaused(false);
}

void PlaybackRoom::seekToFrame(int frame) {
    if (!m_State.fileLoaded || liveRunning(m_State) || m_Player->frameCount() <= 0) return;
    frame = std::clamp(frame, 0, m_Player->frameCount() - 1);
    if (m_State.mode == WindowMode::Playing) {
        m_Player->seekTo(frame, false);  // the player shows it next, the counter follows
        return;
    }
    LidarDataSingleLine shown;
    if (!m_Player->frameAt(frame, &shown)) return;
    // Shown here; the player goes on with its neighbour when it plays or steps. A file that
    // had ended is no longer at its end.
    m_Player->seekTo(frame, true);
    m_State.finished = false;
    m_FrameIndex = sliderValueForFrame(frame);
    if (m_W.spinBox) m_W.spinBox->setValue(m_FrameIndex);
    emit frameToShow(shown);
}

void PlaybackRoom::addKeys(QWidget* page) {
    auto key = [this, page](int k, std::function<void()> act) {
        auto* s = new QShortcut(QKeySequence(k), page);
        s->setContext(Qt::WidgetWithChildrenShortcut);
        connect(s, &QShortcut::activated, this, std::move(act));
    };
    key(Qt::Key_Space, [this] {
        if (m_W.play && m_W.play->isEnabled()) playClicked();
    });
    key(Qt::Key_Right, [this] {
        if (m_State.mode == WindowMode::PlaybackPaused) stepForwardClicked();
    });
    key(Qt::Key_Left, [this] {
        if (m_State.mode == WindowMode::PlaybackPaused) stepBackwardClicked();
    });
    key(Qt::Key_Home, [this] { seekToFrame(0); });
    key(Qt::Key_End, [this] { seekToFrame(m_Player->frameCount() - 1); });
}

void PlaybackRoom::setRecentFiles(const QStringList& files) {
    m_Recent.clear();
    for (const QString& f : files)
        if (!f.isEmpty() && !m_Recent.contains(f) && m_Recent.size() < kRecentFiles) m_Recent.append(f);
    rebuildRecentMenu();
}

void PlaybackRoom::rebuildRecentMenu() {
    auto* open = qobject_cast<QToolButton*>(m_W.open);
    if (!open) return;
    QMenu* menu = open->menu();
    if (!menu) {
        menu = new QMenu(open);
        open->setMenu(menu);
        open->setPopupMode(QToolButton::MenuButtonPopup);
    }
    menu->clear();
    for (const QString& f : m_Recent)
        menu->addAction(QDir::toNativeSeparators(f), this, [this, f] { openFile(f); });
    menu->setEnabled(!m_Recent.isEmpty());
}

bool PlaybackRoom::openDropped(const QList<QUrl>& urls) {
    for (const QUrl& u : urls) {
        if (!u.isLocalFile()) continue;
        // Refused while live or playing, as "Open" is.
        if (!allowedNow(m_DialogParent, m_State, WindowAction::OpenFile)) return false;
        return openFile(u.toLocalFile());
    }
    return false;
}

void PlaybackRoom::onFrameIndex(int index) {
    // The counter shows the frame's number (1 = the first frame); 0 before the first.
    if (!playbackActive(m_State) || liveRunning(m_State)) return;
    m_FrameIndex = index + 1;
    if (m_W.spinBox) m_W.spinBox->setValue(m_FrameIndex);
}

void PlaybackRoom::onAnalysisProgress(int percent) {
    if (m_W.progressBar) m_W.progressBar->setValue(percent);
    const bool done = percent > 99;
    if (m_W.progressBar) m_W.progressBar->setVisible(!done);
    if (m_W.progressLabel) m_W.progressLabel->setVisible(!done);
}

void PlaybackRoom::setPlayIcon(const QString& path) {
    m_PlayIcon = path;
    if (m_W.play) m_W.play->setIcon(QIcon(runtimeIconFile(path)));
}

void PlaybackRoom::applySeek(const SeekOutcome& outcome) {
    m_Seek = outcome.cycle;
    playSpeedStep = outcome.playSpeedStep;
    if (outcome.direction != 0) {
        playDirection = outcome.direction;
        m_Forward = outcome.direction > 0;
        m_Backward = outcome.direction < 0;
    }
    if (!outcome.forwardIcon.isEmpty()) {
        m_ForwardIcon = outcome.forwardIcon;
        if (m_W.seekForward) m_W.seekForward->setIcon(QIcon(runtimeIconFile(m_ForwardIcon)));
    }
    if (!outcome.backwardIcon.isEmpty()) {
        m_BackwardIcon = outcome.backwardIcon;
        if (m_W.seekBackward) m_W.seekBackward->setIcon(QIcon(runtimeIconFile(m_BackwardIcon)));
    }
}

void PlaybackRoom::setSteppingEnabled(bool enabled) {
    if (m_W.goToEnd) m_W.goToEnd->setEnabled(enabled);
    if (m_W.goToStart) m_W.goToStart->setEnabled(enabled);
}

void PlaybackRoom::setLiveReceiverPaused(bool paused) {
    if (m_Receiver && m_Receiver->isRunning()) m_Receiver->m_Paused = paused;
}

}  // namespace k740
