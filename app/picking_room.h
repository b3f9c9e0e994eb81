// Region picking in the viewer: arming and disarming the visualizer's area picking, the
// area-picking callback (under the display mutex) that sets the selection box and lists the
// region's points in the table, the per-point statistics of the region in the overlay text
// "0", and the cursor and read-out switching. The selection is this room's: the view asks for
// it when it draws. Clear ends the selection.
#pragma once

#include <pcl/visualization/pcl_visualizer.h>

#include <QObject>
#include <functional>

#include "display/cloud_builder.h"
#include "display/region_stats.h"

class QMutex;
class QStandardItemModel;
class QTableView;
class QWidget;
class QVTKOpenGLNativeWidget;

namespace k740 {

class PickingRoom : public QObject {
    Q_OBJECT
public:
    // The region selection.
    struct Selection {
        bool armed = false;   // the visualizer's area picking is on
        bool active = false;  // a region is picked
        int pickedCount = 0;  // points the region held when picked
        SelectionBox box;
        bool readoutOn = true;  // the cursor read-out shows (off while armed)
    };
    // The window's view, table and display lock.
    struct View {
        QWidget* window;
        QVTKOpenGLNativeWidget* screen;
        pcl::visualization::PCLVisualizer::Ptr viewer;
        Cloud::Ptr realTime;  // read under the display mutex
        Cloud::Ptr clicked;
        QMutex* displayMutex;
        QTableView* table;
        QStandardItemModel* model;
        std::function<void()> resetTable;
        std::function<void()> repaint;
        std::function<void(char, const char*)> injectKey;  // into the visualizer
    };
    // How the stored frame is read when a region is picked.
    struct StoredFrame {
        int protocol = 0;
        int viewMode = 0;
        bool listRows = false;  // no capture file plays, or the display is paused
        const LidarDataSingleLine* frame = nullptr;
    };

    PickingRoom(const View& view, std::function<StoredFrame()> storedFrame, QObject* parent = nullptr);

    const Selection& selection() const { return m_Selection; }

    // The "Select" button: arms the area picking, or disarms it when armed.
    void selectPoints();

    // The visualizer's area-picking event.
    void onAreaPicked(const pcl::visualization::AreaPickingEvent& event);
    // Picked point indices into the realTime cloud (the event's own entry point, for tests too).
    void pickIndices(const std::vector<int>& indices);
    // Selects the box as a pick of `pickedCount` points in it would, without listing rows:
    // frames drawn from now on highlight and measure the points in it.
    void selectBox(const SelectionBox& box, int pickedCount);

    // For drawing one frame: feeds each in-box point to the statistics and the table. The
    // frame's distances are scaled by the time the hook sees them.
    InBoxHook inBoxHook(const LidarDataSingleLine& frame);

    // The view was cleared: the selection and its statistics end.
    void clear();

    const RegionStatistics& statistics() const { return m_Stats; }

private:
    void sendPickKey();
    void setArmed(bool armed);
    void writeRow(const TableRow& row, int rowNumber);
    void showStatistics(const QString& text);

    Selection m_Selection;
    View m_View;
    std::function<StoredFrame()> m_StoredFrame;
    RegionStatistics m_Stats;
};

}  // namespace k740
