// The live figures in the status bar: frames drawn and datagrams a second, frames dropped since
// the start, the sensor's address and rotation speed, a silent stream in red, the recording's
// size. Refreshed once a second while the live display or a capture file runs.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

#include "app/rules/viewer_comfort.h"

class QLabel;
class QStatusBar;

namespace k740 {

class UdpReceiver;

class FiguresRoom : public QObject {
    Q_OBJECT
public:
    struct Sources {
        std::function<bool()> live;     // the live display runs
        std::function<bool()> running;  // live, or a file plays
        std::function<bool()> pacedPlay;  // a file plays at its recorded pace
        // The counters (seconds and silence are the room's own).
        std::function<FigureSample()> counters;
        std::function<QString()> sensorAddress;  // empty: no device packet yet
        std::function<qint64()> recordingBytes;  // -1: not recording
    };

    // The label goes into the status bar; device packets of the receivers give the speed.
    FiguresRoom(QStatusBar* bar, Sources sources, const std::vector<UdpReceiver*>& receivers,
                QObject* parent = nullptr);

    QLabel* label() const { return m_Label; }
    // One refresh (the timer calls it every second).
    void tick();

private:
    QLabel* m_Label;
    Sources m_Sources;
    QTimer m_Timer;
    QElapsedTimer m_Clock;
    QElapsedTimer m_SinceDatagram;
    bool m_WasRunning = false;
    FigureSample m_Start, m_Previous;
    int m_Rpm = -1;
};

}  // namespace k740
