// The drawing side of the 3-D view: the live clouds updated in place, the measuring grid in a
// handful of actors, preset cameras fitted to the scene and keyboard focus for the point-size
// keys. Each call works on the visualizer it is handed; the window decides when.
#pragma once

#include <pcl/visualization/pcl_visualizer.h>

#include <vtkSmartPointer.h>

#include <QObject>
#include <string>

#include "display/cloud_builder.h"
#include "display/viewer_geometry.h"

class QWidget;
class vtkCallbackCommand;
class vtkObject;
class vtkRenderWindowInteractor;

namespace k740 {

// Ids of the grid's two line actors: all straight lines in one, all ring chords in the other.
// The range labels keep their own ids ("Circle2" ... "Circle50").
extern const char* const kGridLinesId;
extern const char* const kGridRingsId;

// Shows a cloud under its id: the first call adds it, later calls replace its points and
// colours in the same actor (no actor, mapper or GL buffer set is created per frame).
void showRgbCloud(pcl::visualization::PCLVisualizer& viewer, const Cloud::ConstPtr& cloud,
                  const std::string& id, int pointSize);
void showSolidCloud(pcl::visualization::PCLVisualizer& viewer, const Cloud::ConstPtr& cloud,
                    const std::string& id, int pointSize, double r, double g, double b);

// Adds the measuring grid as shapes: one actor for the straight lines, one for the rings and
// one follower per range label. Removing every shape takes it away again.
void addGridShapes(pcl::visualization::PCLVisualizer& viewer);

// Puts the camera in the preset's direction with its view-up, then moves it back along that
// direction until everything shown fits the view. With nothing shown it frames the area of
// the nearest grid rings instead of leaving the camera a centimetre from the origin.
void applyPresetView(pcl::visualization::PCLVisualizer& viewer, const CameraPreset& preset);

// Shows a line of text in the view's corner overlay (id "0"): the cursor read-out, or the
// statistics of a picked region.
void showOverlayText(pcl::visualization::PCLVisualizer& viewer, const std::string& text);

// Gives a widget keyboard focus whenever the pointer enters it, so "+" and "-" work while
// hovering over the view.
class FocusOnEnter : public QObject {
public:
    explicit FocusOnEnter(QWidget* target);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_Target;
};

// True for the keys the operator may type over the view: "+" and "-" (point size), keypad's too.
bool isPointSizeKey(char code, const std::string& keySym);

// Stands between the keyboard and the visualizer's own one-letter keys: a key typed over the
// view reaches the visualizer only when it changes the point size. The window's own keys
// (area picking's "x") go in through inject(), so picking is switched only where the window
// knows of it.
class ViewKeyGate {
public:
    explicit ViewKeyGate(vtkRenderWindowInteractor* interactor);
    ~ViewKeyGate();
    ViewKeyGate(const ViewKeyGate&) = delete;
    ViewKeyGate& operator=(const ViewKeyGate&) = delete;

    // Hands one key press and release to the visualizer, whatever the keyboard layout.
    void inject(char code, const char* keySym);

private:
    static void onKey(vtkObject* caller, unsigned long eventId, void* clientData, void* callData);

    vtkRenderWindowInteractor* m_Interactor;
    vtkSmartPointer<vtkCallbackCommand> m_Command;
    bool m_Injecting = false;
};

}  // namespace k740
