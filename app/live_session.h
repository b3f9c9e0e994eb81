// The live display's room: switching the two receivers (data port, device port) on and off
// with the settings typed in the "Lidar" tab, refusing bad fields and failed sockets loudly,
// pausing the drawing, and stopping both loops with a bounded wait. The main window hands it
// the widgets it drives, the two receivers and the window's state; its slots forward here.
#pragma once

#include <QObject>
#include <QString>

#include "app/rules/live_settings.h"
#include "app/rules/window_mode.h"

class QAbstractButton;
class QComboBox;
class QLineEdit;
class QWidget;
class GetlidarData_1;
class GetSet;

namespace k740 {

class LiveSession : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QAbstractButton* liveButton = nullptr;   // checkable "Lidar"
        QAbstractButton* pauseButton = nullptr;  // "Pause" / "Paly "
        QLineEdit* dataPort = nullptr;           // "Port Number"
        QLineEdit* devicePort = nullptr;         // "Telemetry Port"
        QLineEdit* group = nullptr;              // "Multicast IP"
        QComboBox* protocol = nullptr;           // "协议1.6" / "协议1.7"
    };

    // dialogParent: parent of the message boxes. The receivers and the state outlive the room.
    LiveSession(QWidget* dialogParent, const Widgets& widgets, GetlidarData_1* receiver,
                GetSet* statusReceiver, WindowState& state, QObject* parent = nullptr);

    // "Lidar" clicked: off when live, otherwise on with the typed settings. A refusal, a bad
    // field or a socket that cannot be set up is told in a warning; the display then stays
    // off with the button unchecked.
    void toggle();
    // "Pause" clicked: pauses or resumes drawing while live.
    void togglePause();
    // The protocol chosen while live reaches the receiver at the next revolution.
    void protocolChanged(int index);

    // Clears both run flags, closes the sockets and waits at most waitMs for each loop.
    // The display is off afterwards. True when both loops have ended.
    bool stop(int waitMs);

    // Interface address for the multicast membership (empty = any).
    void setMulticastInterface(const QString& address) { m_Interface = address; }
    QString multicastInterface() const { return m_Interface; }
    // The live display has been switched on at least once.
    bool startedOnce() const { return m_StartedOnce; }
    GetlidarData_1* receiver() const { return m_Receiver; }
    GetSet* statusReceiver() const { return m_StatusReceiver; }

    // Longest wait for a receiver loop to end (it looks at its flags every few milliseconds).
    static constexpr int kStopWaitMs = 2000;

signals:
    // Both receivers run: the window starts a fresh table.
    void started();

private:
    bool start();
    void switchOff();
    void showPaused(bool paused);
    void refuse(const QString& text);

    QWidget* m_DialogParent;
    Widgets m_W;
    GetlidarData_1* m_Receiver;
    GetSet* m_StatusReceiver;
    WindowState& m_State;
    QString m_Interface;
    bool m_StartedOnce = false;
};

}  // namespace k740
