// The view room: the 3-D viewer and what the operator does with it (preset views, axes,
// measuring grid, clearing, point size, the cursor read-out), the clouds each frame becomes
// and the data table's model. It is handed the widgets it drives; the window's slots of the
// same names forward to it, and region picking (app/picking_room.h) works on its clouds; the
// view asks the picking room for the selection it draws.
#pragma once

#include <pcl/visualization/pcl_visualizer.h>
#include <vtkSmartPointer.h>

#include <QMutex>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "acquisition/lidar_frame.h"
#include "display/cloud_builder.h"
#include "display/trail_frames.h"

class QComboBox;
class QStandardItemModel;
class QTableView;
class QVTKOpenGLNativeWidget;
class QWidget;
class vtkOrientationMarkerWidget;
class vtkWorldPointPicker;

namespace k740 {

class ViewKeyGate;

// Ids and looks the view and region picking share.
extern const char* const kRealTimeCloudId;  // the frame's coloured cloud
extern const char* const kClickedCloudId;   // the highlighted points
constexpr int kClickedPointSize = 5;

// Writes one row of the data table, reusing the row's items when it has them.
void writeTableRow(QStandardItemModel& model, const TableRow& row, int rowNumber);

class ViewRoom : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QVTKOpenGLNativeWidget* screen = nullptr;
        QComboBox* presets = nullptr;  // comboBox_View
        QTableView* table = nullptr;
    };
    // What the drawing reads of the region selection (the picking room's).
    struct SelectionView {
        bool active = false;  // a region is picked: its points are highlighted and measured
        SelectionBox box;
        bool readoutOn = true;  // the cursor read-out may show (not while area picking is armed)
    };

    explicit ViewRoom(const Widgets& widgets, QObject* parent = nullptr);
    ~ViewRoom() override;

    pcl::visualization::PCLVisualizer::Ptr viewer() const { return m_Viewer; }
    QStandardItemModel* tableModel() const { return m_TableModel; }
    // Where the view asks for the selection it draws (none until set).
    void setSelectionSource(std::function<SelectionView()> source) { m_SelectionSource = std::move(source); }
    // The live cloud is read and written under the display lock (region picking reads it).
    QMutex* displayMutex() { return &m_DisplayMutex; }
    Cloud::Ptr realTimeCloudPtr() const { return m_RealTimeCloud; }
    Cloud::Ptr clickedCloudPtr() const { return m_ClickedCloud; }

    // Copies of the displayed clouds and of the last frame's cloud.
    Cloud realTimeCloud() const;
    Cloud clickedCloud() const { return *m_ClickedCloud; }
    Cloud frameCloud() const { return *m_FrameCloud; }

    bool axesShown() const { return m_AxesShown; }
    bool gridHidden() const { return m_GridHidden; }
    int pointSize() const { return m_PointSize; }
    int tableRows() const { return m_TableRows; }
    QString readoutText() const { return m_ReadoutText; }
    long long framesDrawn() const { return m_FramesDrawn; }

    // Draws one frame: its clouds, the first rows of the table and the read-out. options
    // carries the window's protocol, view mode, colour mode and angle limit; the selection is
    // the room's. An exported frame goes to its file instead: the clouds are left empty. The
    // frame's distances are scaled in place, as the in-box hook (made on the same frame) expects.
    void drawFrame(LidarDataSingleLine& frame, CloudOptions options, bool exported,
                   const InBoxHook& inBox);

    void applyPreset();  // the preset chosen in comboBox_View
    void toggleAxes();
    void toggleGrid();
    // Empties the view and the table; axes stay as they were.
    void clear();
    // An empty table with its headers, shown in the table view.
    void resetTable();
    void repaint();
    // Key presses on the viewer ("+"/"-" point size).
    void onKey(const pcl::visualization::KeyboardEvent& event);
    // Point size 1..10 (as "+" and "-" set it), for the remembered settings.
    void setPointSize(int size);

    // Trail of frames: the last `length` frames drawn together, older ones fainter (1 = off,
    // at most kMaxTrail). Changing it, clearing the view or the protocol empties the trail and
    // gives its memory back.
    void setTrailLength(int length);
    void clearTrail();
    // Older frames drawn beside the newest now, and the bytes they hold.
    int trailFramesShown() const { return m_Trail.framesKept(); }
    std::size_t trailBytesHeld() const;

    // Hands the window's own key to the visualizer (keys typed over the view other than "+"
    // and "-" never reach it).
    void injectKey(char code, const char* keySym);

private:
    SelectionView selection() const { return m_SelectionSource ? m_SelectionSource() : SelectionView(); }
    void sizeTableColumns();
    void showClouds();
    void refreshReadout();
    void keepForTrail();  // under the display lock, before the live cloud is refilled
    void showTrail();

    Widgets m_W;
    pcl::visualization::PCLVisualizer::Ptr m_Viewer;
    Cloud::Ptr m_RealTimeCloud;
    Cloud::Ptr m_ClickedCloud;
    Cloud::Ptr m_FrameCloud;
    mutable QMutex m_DisplayMutex;
    QStandardItemModel* m_TableModel = nullptr;
    std::function<SelectionView()> m_SelectionSource;
    bool m_AxesShown = false;
    bool m_GridHidden = true;
    int m_PointSize = 1;
    int m_TableRows = 0;
    int m_CamerasFitted = 0;
    long long m_FramesDrawn = 0;
    QString m_ReadoutText;
    vtkSmartPointer<vtkOrientationMarkerWidget> m_OrientationMarker;
    vtkSmartPointer<vtkWorldPointPicker> m_ReadoutPicker;
    std::unique_ptr<ViewKeyGate> m_KeyGate;
    TrailFrames m_Trail;  // the older frames, one actor a slot ("trail_<slot>")
    bool m_TrailPushed = false;  // the newest slot took a frame since the last drawing
    bool m_TrailStartsAfresh = false;
};

}  // namespace k740
