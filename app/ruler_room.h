// The ruler in the viewer: the "Measure" button arms it; the next two clicks on points of the
// cloud (the point nearest the cursor) draw a line between them with its length in cm and the
// two points' azimuths; a third click starts again. Escape or "Clear" takes the line away.
// The line stays where it was put while frames keep arriving and in every preset view.
#pragma once

#include <pcl/visualization/pcl_visualizer.h>

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "display/cloud_builder.h"
#include "display/ruler_geometry.h"

class QAbstractButton;
class QShortcut;
class QWidget;

namespace k740 {

class RulerRoom : public QObject {
    Q_OBJECT
public:
    // `button` is the checkable "Measure" button (its ruler icon is drawn here). `cloud` hands
    // a copy of the points shown now (taken under the display lock); `repaint` draws the view
    // again. Escape works anywhere in `window`.
    RulerRoom(QWidget* window, QAbstractButton* button, pcl::visualization::PCLVisualizer::Ptr viewer,
              std::function<Cloud()> cloud, std::function<void()> repaint, QObject* parent = nullptr);

    QAbstractButton* button() const { return m_Measure; }

    bool armed() const;
    void setArmed(bool armed);
    // A click on the view at display pixels (origin bottom left): picks the point under it
    // when armed. False when no point lies under the cursor (nothing changes then).
    bool clickAt(int x, int y);
    // Takes the measurement away (Escape, "Clear"); the button stays as it is.
    void clear();
    // Draws the measurement again where something removed every shape (the grid's toggle).
    void redraw();

    int pointsChosen() const { return m_B ? 2 : (m_A ? 1 : 0); }
    QString text() const { return m_Text; }  // empty until two points are chosen
    std::optional<RulerPoint> pointA() const { return m_A; }
    std::optional<RulerPoint> pointB() const { return m_B; }

private:
    void onMouse(const pcl::visualization::MouseEvent& event);
    void show();

    QAbstractButton* m_Measure = nullptr;
    pcl::visualization::PCLVisualizer::Ptr m_Viewer;
    std::function<Cloud()> m_Cloud;
    std::function<void()> m_Repaint;
    QShortcut* m_Escape;
    std::optional<RulerPoint> m_A, m_B;
    QString m_Text;
    int m_PressX = -1, m_PressY = -1;
};

}  // namespace k740
