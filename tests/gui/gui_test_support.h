// Shared helpers of the window tests: a recorder that answers message boxes, access to the
// window's state flags, frames built point by point, free loopback ports and waiting.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "acquisition/lidar_frame.h"
#include "app/dialogs_seam.h"
#include "app/manwindow.h"
#include "platform/udp_socket.h"

// Records every message box and file dialog and answers it without showing anything.
class DialogRecorder {
public:
    DialogRecorder() {
        k740::Dialogs::setHandler([this](const k740::Dialogs::Request& r) {
            calls.push_back(r);
            return answer;
        });
    }
    ~DialogRecorder() { k740::Dialogs::setHandler({}); }
    std::vector<k740::Dialogs::Request> calls;
    k740::Dialogs::Answer answer;
};

// The window's private state, for tests.
struct ManwindowProbe {
    // Puts the window into a mode as if the operator had got there.
    static void setMode(manwindow& w, k740::WindowMode mode) { w.m_State.mode = mode; }
    // "displayRunning(w) = false" pauses drawing (the live paused mode), "= true" resumes it.
    struct DisplayRunningFlag {
        manwindow& w;
        void operator=(bool running) {
            w.m_State.mode = running ? k740::WindowMode::Live : k740::WindowMode::LivePaused;
        }
    };
    static DisplayRunningFlag displayRunning(manwindow& w) { return {w}; }
    static bool& selectionActive(manwindow& w) { return w.m_View->m_Selection.active; }
    static k740::SelectionBox& selectionBox(manwindow& w) { return w.m_View->m_Selection.box; }
    static int& pickedCount(manwindow& w) { return w.m_View->m_Selection.pickedCount; }
    static bool& readoutOn(manwindow& w) { return w.m_View->m_Selection.readoutOn; }
};

struct TestPoint {
    double azimuth;      // degrees
    double rawDistance;  // count as the sensor sends it
    int intensity;
    std::uint64_t timeStamp;
};

inline LidarDataSingleLine makeFrame(const std::vector<TestPoint>& points) {
    LidarDataSingleLine f;
    for (const TestPoint& p : points) {
        f.pointAngle.push_back(p.azimuth);
        f.distance.push_back(p.rawDistance);
        f.intensity.push_back(p.intensity);
        f.timeStamp.push_back(p.timeStamp);
    }
    if (!points.empty()) f.blockAngle.push_back(points.front().azimuth);
    return f;
}

// Two different UDP ports free on this machine right now.
inline void freePortPair(std::uint16_t* a, std::uint16_t* b) {
    k740::UdpSocket s1, s2;
    s1.open();
    s2.open();
    s1.bind(0);
    s2.bind(0);
    *a = s1.localPort();
    *b = s2.localPort();
}

// Processes events until the condition holds or the time is up.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(5);
    }
    return true;
}

// A shown main window (the viewer needs a real GL surface) with message boxes recorded.
class WindowFixtureBase {
public:
    WindowFixtureBase() : window(new manwindow) {
        window->setMulticastInterface(QStringLiteral("127.0.0.1"));
        window->show();
        exposed = QTest::qWaitForWindowExposed(window.get());
    }
    ~WindowFixtureBase() {
        window->stopReceivers(2000);
    }
    DialogRecorder dialogs;
    std::unique_ptr<manwindow> window;
    bool exposed = false;
};
