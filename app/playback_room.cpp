// The playback room: the Offline tab's transport around the capture-file player.
#include "app/playback_room.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QShortcut>
#include <QToolButton>
#include <QUrl>
#include <QProgressDialog>
#include <QSignalBlocker>
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
    // The slider moved by the operator (dragged, clicked, keys) and a number given to the
    // counter seek. The room sets both with their signals blocked, so a value it shows never
    // comes back as a seek: a frame shown moves the handle, and moving the handle by the
    // program seeks nothing.
    if (m_W.slider) {
        connect(m_W.slider, &QSlider::valueChanged, this, &PlaybackRoom::onSliderChanged);
        // Let go: the handle shows the frame on screen again (while playing, the next frame
        // moves it).
        connect(m_W.slider, &QSlider::sliderReleased, this, [this] {
            if (m_State.mode() != WindowMode::Playing) showPosition();
        });
    }
    if (m_W.spinBox) {
        m_W.spinBox->setKeyboardTracking(false);  // a typed number seeks once, when entered
        connect(m_W.spinBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
                &PlaybackRoom::onCounterChanged);
    }
    showPosition();
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
    const OpenedNotice notice =
        openedFileNotice(QDir::toNativeSeparators(path), result.complete, result.error,
                         result.frames, m_W.model ? m_W.model->currentText() : QString());

    setRecentFiles(withRecentFile(m_Recent, path));
    // The player has released the previous file; a file that was played or shown leaves the
    // view.
    if (m_PlayPresses > 1 || m_FileShown) emit viewResetNeeded();
    m_FileShown = false;
    m_PlayPresses = 1;
    m_FileName = path;
    m_State.apply(WindowEvent::FileOpened);
    setPlayIcon(kPlayIcon);
    // The file stands before its first frame, as if paused there: steps and keys work at once.
    m_Position = FramePosition{result.frames, -1};
    for (QAbstractButton* b :
         {m_W.play, m_W.goToStart, m_W.goToEnd, m_W.seekForward, m_W.seekBackward})
        if (b) b->setEnabled(true);
    showPosition();
    focusTransport();
    // Told once the window stands on the new file.
    if (notice.box == Verdict::Box::Warning)
        Dialogs::warning(m_DialogParent, notice.title, notice.text);
    else if (notice.box == Verdict::Box::Information)
        Dialogs::information(m_DialogParent, notice.title, notice.text);
    return true;
}

void PlaybackRoom::playClicked() {
    if (!allowedNow(m_DialogParent, m_State, WindowAction::Play)) return;
    applySeek(resetSeek(m_Seek));
    if (m_W.open) m_W.open->setEnabled(false);

    if (notPlayingOffline(m_State)) {
        // Start, restart after the end, or resume.
        if (m_LiveStartedOnce && m_LiveStartedOnce()) setLiveReceiverPaused(true);
        const bool wasFinished = m_State.finished();
        setPlayIcon(kPauseIcon);
        m_State.apply(WindowEvent::PlaybackStarted);
        m_Forward = true;
        m_Backward = false;
        stepOnce = 0;
        playDirection = 1;
        m_Player->play();
        if (wasFinished) {
            m_Position.shown = -1;
            showPosition();
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
    const bool forward = direction == SeekButton::Forward;
    // Each press shows the next frame at once, here, and the player goes on from it: a press
    // that comes while the frame before is still on its way is not lost.
    const int target =
        moveTarget(m_Position, forward ? FrameMove::StepForward : FrameMove::StepBackward);
    stepOnce = 0;
    if (target < 0) return;  // at an end of the file: nothing to step to
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
    playDirection = forward ? 1 : -1;
    seekToFrame(target);
}

void PlaybackRoom::seekForwardClicked() {
    applySeek(pressSeek(m_Seek, SeekButton::Forward, playbackActive(m_State) && !m_State.finished()));
}

void PlaybackRoom::seekBackwardClicked() {
    applySeek(
        pressSeek(m_Seek, SeekButton::Backward, playbackActive(m_State) && !m_State.finished()));
}

void PlaybackRoom::finishedOrStarted(bool finished) {
    if (finished) {
        m_State.apply(WindowEvent::PlaybackEnded);
        m_Position.shown = -1;  // the next Play, step or key starts at the first frame
        showPosition();
        applySeek(resetSeek(m_Seek));
        if (m_W.open) m_W.open->setEnabled(true);
    }
    m_Forward = true;
    setPlayIcon(kPlayIcon);
    setSteppingEnabled(true);
    if (m_LiveStartedOnce && m_LiveStartedOnce()) setLiveReceiverPaused(false);
}

void PlaybackRoom::seekToFrame(int frame) {
    if (!m_State.fileLoaded() || liveRunning(m_State) || m_Position.frames <= 0) return;
    frame = std::clamp(frame, 0, m_Position.frames - 1);
    if (m_State.mode() == WindowMode::Playing) {
        m_Player->seekTo(frame, false);  // the player shows it next, the counter follows
        return;
    }
    LidarDataSingleLine shown;
    if (!m_Player->frameAt(frame, &shown)) return;
    // Shown here; the player goes on with its neighbour when it plays or steps. A file that
    // had ended is no longer at its end.
    m_Player->seekTo(frame, true);
    m_State.apply(WindowEvent::FrameShown);
    m_Position.shown = frame;
    m_FileShown = true;
    showPosition();
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
    m_Page = page;
    page->installEventFilter(this);
    key(Qt::Key_Right, [this] { moveByKey(FrameMove::StepForward); });
    key(Qt::Key_Left, [this] { moveByKey(FrameMove::StepBackward); });
    key(Qt::Key_Home, [this] { moveByKey(FrameMove::First); });
    key(Qt::Key_End, [this] { moveByKey(FrameMove::Last); });
}

bool PlaybackRoom::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_Page && event->type() == QEvent::Show) focusTransport();
    return QObject::eventFilter(watched, event);
}

void PlaybackRoom::focusTransport() {
    if (!m_Page || !m_W.slider || !m_Page->isVisible()) return;
    const QWidget* focus = QApplication::focusWidget();
    if (!focus || !m_Page->isAncestorOf(focus)) m_W.slider->setFocus(Qt::OtherFocusReason);
}

void PlaybackRoom::moveByKey(FrameMove move) {
    if (!moveAllowed(m_State, move)) return;
    if (move == FrameMove::StepForward)
        step(SeekButton::Forward);
    else if (move == FrameMove::StepBackward)
        step(SeekButton::Backward);
    else
        seekToFrame(moveTarget(m_Position, move));
}

void PlaybackRoom::showPosition() {
    if (m_W.spinBox) {
        const QSignalBlocker quiet(m_W.spinBox);
        m_W.spinBox->setRange(0, m_Position.frames);
        m_W.spinBox->setValue(counterValue(m_Position));
    }
    if (m_W.slider) {
        const QSignalBlocker quiet(m_W.slider);
        m_W.slider->setRange(0, sliderMaximum(m_Position.frames));
        // The handle stays under the operator's hand while it is held.
        if (!m_W.slider->isSliderDown()) m_W.slider->setValue(sliderValue(m_Position));
    }
}

void PlaybackRoom::onSliderChanged(int value) {
    if (!m_State.fileLoaded() || m_Position.frames <= 0) return;
    seekToFrame(value);
}

void PlaybackRoom::onCounterChanged(int value) {
    if (!m_State.fileLoaded() || m_Position.frames <= 0) return;
    seekToFrame(frameForSliderValue(value, m_Position.frames));
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
    for (const QUrl& u : urls)
        if (u.isLocalFile()) return openFile(u.toLocalFile());  // refused as "Open" is
    return false;
}

void PlaybackRoom::onFrameIndex(int index) {
    // The counter shows the frame's number (1 = the first frame); 0 before the first.
    if (!playbackActive(m_State) || liveRunning(m_State)) return;
    m_Position.shown = index;
    m_FileShown = true;
    showPosition();
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
