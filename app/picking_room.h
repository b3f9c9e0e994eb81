// Region picking in the viewer: arming and disarming the visualizer's area picking, the
// area-picking callback (under the display mutex) that sets the selection box and lists the
// region's points in the table, the per-point statistics of the region in the overlay text
// "0", and the cursor and read-out switching. Clear ends the selection.
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
    // The window's picking fields: the rest of the window (drawing, clearing, the read-out)
    // reads them as before.
    struct State {
        bool* areaSelectArmed;
        bool* selectionActive;
        int* pickedCount;
        SelectionBox* selectionBox;
        bool* readoutOn;
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

    PickingRoom(const State& state, const View& view, std::function<StoredFrame()> storedFrame,
                QObject* parent = nullptr);

    // The "Select" button: arms the area picking, or disarms it when armed.
    void selectPoints();

    // The visualizer's area-picking event.
    void onAreaPicked(const pcl::visualization::AreaPickingEvent& event);
    // Picked point indices into the realTime cloud (the event's own entry point, for tests too).
    void pickIndices(const std::vector<int>& indices);

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

    State m_State;
    View m_View;
    std::function<StoredFrame()> m_StoredFrame;
    RegionStatistics m_Stats;
};

}  // namespace k740
