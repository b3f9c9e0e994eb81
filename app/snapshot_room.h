// The "Snapshot" button of the Lidar tab: the 3-D view saved as a PNG at its size on screen,
// under a name the file dialog proposes (time and frame number, in the folder used last).
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QToolButton;
class QVTKOpenGLNativeWidget;
class QWidget;

namespace k740 {

class SnapshotRoom : public QObject {
    Q_OBJECT
public:
    // `button` ("Snapshot") takes the picture; frameNumber gives the number of the frame on
    // screen for the proposed name.
    SnapshotRoom(QWidget* window, QVTKOpenGLNativeWidget* screen, QToolButton* button,
                 std::function<int()> frameNumber, QObject* parent = nullptr);

    QToolButton* button() const { return m_Button; }
    // Asks for the file and saves the view; false when cancelled or not written.
    bool takeSnapshot();
    // Saves the view into `path` without asking; false, with a warning naming the folder,
    // when it cannot be written.
    bool saveTo(const QString& path);

private:
    QWidget* m_Window;
    QVTKOpenGLNativeWidget* m_Screen;
    std::function<int()> m_FrameNumber;
    QToolButton* m_Button = nullptr;
};

}  // namespace k740
