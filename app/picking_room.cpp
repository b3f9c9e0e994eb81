// Region picking and measuring in the main window's viewer.
#include "app/picking_room.h"

#include <QVTKOpenGLNativeWidget.h>
#include <pcl/visualization/point_cloud_color_handlers.h>
#include <vtkCommand.h>
#include <vtkRenderWindowInteractor.h>

#include <QMutex>
#include <QMutexLocker>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QWidget>

#include "app/view_room.h"
#include "app/viewer_scene.h"

namespace k740 {

PickingRoom::PickingRoom(const View& view, std::function<StoredFrame()> storedFrame, QObject* parent)
    : QObject(parent), m_View(view), m_StoredFrame(std::move(storedFrame)) {
    m_View.viewer->registerAreaPickingCallback(
        [this](const pcl::visualization::AreaPickingEvent& event) { onAreaPicked(event); });
}

void PickingRoom::sendPickKey() {
    // The visualizer's "x" key switches its area picking on and off; it is handed to the
    // viewer's interactor directly, whatever the keyboard layout.
    m_View.injectKey('x', "x");
}

void PickingRoom::setArmed(bool armed) {
    m_Selection.armed = armed;
    // While armed the read-out's world-point picker must not replace the area picker.
    m_Selection.readoutOn = !armed;
    const Qt::CursorShape shape = armed ? Qt::CrossCursor : Qt::ArrowCursor;
    m_View.window->setCursor(shape);
    m_View.screen->setCursor(shape);
}

void PickingRoom::selectPoints() {
    m_View.screen->setFocus();
    sendPickKey();
    setArmed(!m_Selection.armed);
}

void PickingRoom::onAreaPicked(const pcl::visualization::AreaPickingEvent& event) {
    // Only the live cloud's indices count: the highlighted cloud has its own numbering.
    pickIndices(event.getPointsIndices(kRealTimeCloudId));
}

void PickingRoom::pickIndices(const std::vector<int>& indices) {
    QMutexLocker lock(m_View.displayMutex);
    if (indices.empty()) return;
    Cloud picked;
    SelectionBox box;
    // A rectangle without points of the live cloud changes nothing.
    if (!pickRegion(indices, *m_View.realTime, picked, &box)) return;

    // Only the points actually copied count (an index past the cloud names none).
    const int n = static_cast<int>(picked.size());
    m_View.resetTable();
    m_Selection.box = box;
    m_Selection.pickedCount = n;
    m_Stats.reset(n);

    const StoredFrame stored = m_StoredFrame();
    if (stored.listRows && stored.frame) {
        for (const BoxRow& r :
             frameRowsInBox(*stored.frame, stored.protocol, stored.viewMode, box, n))
            writeRow(makeTableRow(r.row, r.p, r.azimuthDeg, r.distanceMm, r.intensity, r.timeStamp),
                     r.row);
    }

    *m_View.clicked = picked;
    m_View.viewer->removePointCloud(kClickedCloudId);
    pcl::visualization::PointCloudColorHandlerCustom<CloudPoint> green(m_View.clicked, 0, 255, 0);
    m_View.viewer->addPointCloud<CloudPoint>(m_View.clicked, green, kClickedCloudId);
    m_View.viewer->setPointCloudRenderingProperties(pcl::visualization::PCL_VISUALIZER_POINT_SIZE,
                                                   kClickedPointSize, kClickedCloudId);
    m_View.repaint();

    m_Selection.active = true;
    // The visualizer is still inside its own pick when this runs: leave its picking mode once
    // it has finished.
    const bool wasArmed = m_Selection.armed;
    setArmed(false);
    if (wasArmed)
        QMetaObject::invokeMethod(
            this, [this] { sendPickKey(); }, Qt::QueuedConnection);
}

InBoxHook PickingRoom::inBoxHook(const LidarDataSingleLine& frame) {
    return [this, &frame](const CloudPoint& p, std::size_t i) {
        const RegionStatistics::Step step = m_Stats.add(p.x, p.y);
        if (step.textRefreshed) showStatistics(QString::fromStdString(m_Stats.text()));
        if (!m_Selection.active) return;
        if (!regionRowVisible(step.row, m_View.table->verticalScrollBar()->value())) return;
        const double d = i < frame.distance.size() ? frame.distance[i] : 0.0;
        const int intensity = i < frame.intensity.size() ? frame.intensity[i] : 0;
        const std::uint64_t stamp = i < frame.timeStamp.size() ? frame.timeStamp[i] : 0;
        PointCm pc;
        pc.x = p.x;
        pc.y = p.y;
        pc.z = p.z;
        writeRow(makeTableRow(step.row, pc, frame.pointAngle[i], d, intensity, stamp), step.row);
    };
}

void PickingRoom::writeRow(const TableRow& row, int rowNumber) {
    writeTableRow(*m_View.model, row, rowNumber);
}

void PickingRoom::showStatistics(const QString& text) {
    showOverlayText(*m_View.viewer, text.toStdString());
}

void PickingRoom::selectBox(const SelectionBox& box, int pickedCount) {
    m_Selection.box = box;
    m_Selection.pickedCount = pickedCount;
    m_Selection.active = true;
    m_Stats.reset(pickedCount);
}

void PickingRoom::clear() {
    m_Selection.box = SelectionBox();
    m_Selection.active = false;
    m_Selection.pickedCount = 0;
    m_Stats.reset(0);
}

}  // namespace k740
