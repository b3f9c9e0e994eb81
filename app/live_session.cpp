// The live display's room: both receivers on and off, the display pause, loud failures.
#include "app/live_session.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QIcon>
#include <QLineEdit>

#include "acquisition/GetlidarData_1.h"
#include "display/dialogs_seam.h"
#include "app/mode_refusal.h"
#include "device/GetSet.h"

namespace k740 {

namespace {

// Sets up a receiver's socket; false with the receive engine's reason when a check or a
// step failed.
bool setUpSocket(UdpReceiver* r, QString* reason) {
    if (r->setupSocket()) return true;
    *reason = r->lastError();
    return false;
}

void endConnection(UdpReceiver* r) {
    r->m_Running = false;
    r->closeSocket();
}

}  // namespace

LiveSession::LiveSession(QWidget* dialogParent, const Widgets& widgets, GetlidarData_1* receiver,
                         GetSet* statusReceiver, WindowState& state, QObject* parent)
    : QObject(parent),
      m_DialogParent(dialogParent),
      m_W(widgets),
      m_Receiver(receiver),
      m_StatusReceiver(statusReceiver),
      m_State(state) {}

void LiveSession::toggle() {
    if (!allowedNow(m_DialogParent, m_State, WindowAction::ToggleLive)) {
        m_W.liveButton->setChecked(false);
        return;
    }
    if (liveRunning(m_State)) {
        switchOff();
        return;
    }
    m_W.liveButton->setChecked(start());
}

bool LiveSession::start() {
    LiveSettings settings;
    const Verdict fields = readLiveSettings(m_W.dataPort->text(), m_W.devicePort->text(),
                                            m_W.group->text(), &settings);
    if (!fields.allowed) {
        Dialogs::warning(m_DialogParent, fields.title, fields.text);
        return false;
    }

    // Loops of a previous session see their cleared run flags within one wait; they must be
    // gone before their sockets are replaced.
    if (m_Receiver->isRunning()) m_Receiver->wait(kStopWaitMs);
    if (m_StatusReceiver->isRunning()) m_StatusReceiver->wait(kStopWaitMs);
    if (m_Receiver->isRunning() || m_StatusReceiver->isRunning()) {
        refuse(QStringLiteral("The previous connection has not ended yet; try again in a moment."));
        return false;
    }

    m_Receiver->m_Port = settings.dataPort;
    m_StatusReceiver->m_Port = settings.devicePort;
    m_Receiver->m_MulticastIp = settings.group;
    m_StatusReceiver->m_MulticastIp = settings.group;
    m_Receiver->m_InterfaceIp = m_Interface;
    m_StatusReceiver->m_InterfaceIp = m_Interface;
    m_Receiver->m_PendingProtocol = m_W.protocol->currentIndex() == 0 ? 0 : 1;

    QString reason;
    const char* which = "data port";
    bool ready = setUpSocket(m_Receiver, &reason);
    if (ready) {
        which = "telemetry port";
        ready = setUpSocket(m_StatusReceiver, &reason);
    }
    if (!ready) {
        if (!reason.isEmpty()) reason[0] = reason[0].toLower();  // it continues the sentence
        endConnection(m_Receiver);
        endConnection(m_StatusReceiver);
        refuse(QStringLiteral("The live display cannot start on the %1: %2.")
                   .arg(QLatin1String(which), reason));
        return false;
    }

    m_Receiver->m_Running = true;
    m_StatusReceiver->m_Running = true;
    m_Receiver->start(QThread::InheritPriority);
    m_StatusReceiver->start(QThread::InheritPriority);
    m_State.apply(WindowEvent::LiveOn);
    m_StartedOnce = true;
    emit started();
    return true;
}

void LiveSession::switchOff() {
    // The loops are not waited for: they see their run flags and close their sockets.
    endConnection(m_Receiver);
    endConnection(m_StatusReceiver);
    if (m_State.mode() == WindowMode::LivePaused) showPaused(false);
    m_State.apply(WindowEvent::LiveOff);
    m_W.liveButton->setChecked(false);
}

bool LiveSession::stop(int waitMs) {
    switchOff();
    bool stopped = true;
    if (m_Receiver->isRunning()) stopped = m_Receiver->wait(waitMs) && stopped;
    if (m_StatusReceiver->isRunning()) stopped = m_StatusReceiver->wait(waitMs) && stopped;
    return stopped;
}

void LiveSession::togglePause() {
    if (!allowedNow(m_DialogParent, m_State, WindowAction::PauseDisplay)) return;
    const bool pause = m_State.mode() == WindowMode::Live;
    m_State.apply(pause ? WindowEvent::DisplayPaused : WindowEvent::DisplayResumed);
    showPaused(pause);
}

void LiveSession::showPaused(bool paused) {
    if (paused) {
        m_W.pauseButton->setText(QStringLiteral("Paly "));
        m_W.pauseButton->setIcon(QIcon(QStringLiteral(":/image/Resources/images/Green.png")));
    } else {
        m_W.pauseButton->setText(QStringLiteral("Pause"));
        m_W.pauseButton->setIcon(QIcon(QStringLiteral(":/image/Resources/images/Red.png")));
    }
}

void LiveSession::protocolChanged(int index) {
    if (liveRunning(m_State)) m_Receiver->m_PendingProtocol = index;
}

void LiveSession::refuse(const QString& text) {
    Dialogs::warning(m_DialogParent, QStringLiteral("warn"), text);
}

}  // namespace k740
