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

PickingRoom::PickingRoom(const State& state, const View& view,
                         std::function<StoredFrame()> storedFrame, QObject* parent)
    : QObject(parent), state_(state), view_(view), storedFrame_(std::move(storedFrame)) {
    view_.viewer->registerAreaPickingCallback(
        [this](const pcl::visualization::AreaPickingEvent& event) { onAreaPicked(event); });
}

void PickingRoom::sendPickKey() {
    // The visualizer's "x" key switches its area picking on and off; it is handed to the
    // viewer's interactor directly, whatever the keyboard layout.
    vtkRenderWindowInteractor* interactor = view_.screen->interactor();
    if (!interactor) return;
    interactor->SetKeyEventInformation(0, 0, 'x', 1, "x");
    interactor->InvokeEvent(vtkCommand::KeyPressEvent, nullptr);
    interactor->InvokeEvent(vtkCommand::KeyReleaseEvent, nullptr);
}

void PickingRoom::setArmed(bool armed) {
    *state_.areaSelectArmed = armed;
    // While armed the read-out's world-point picker must not replace the area picker.
    *state_.readoutOn = !armed;
    const Qt::CursorShape shape = armed ? Qt::CrossCursor : Qt::ArrowCursor;
    view_.window->setCursor(shape);
    view_.screen->setCursor(shape);
}

void PickingRoom::selectPoints() {
    view_.screen->setFocus();
    sendPickKey();
    setArmed(!*state_.areaSelectArmed);
}

void PickingRoom::onAreaPicked(const pcl::visualization::AreaPickingEvent& event) {
    // Only the live cloud's indices count: the highlighted cloud has its own numbering.
    pickIndices(event.getPointsIndices(kRealTimeCloudId));
}

void PickingRoom::pickIndices(const std::vector<int>& indices) {
    QMutexLocker lock(view_.displayMutex);
    if (indices.empty()) return;
    Cloud picked;
    SelectionBox box;
    // A rectangle without points of the live cloud changes nothing.
    if (!pickRegion(indices, *view_.realTime, picked, &box)) return;

    const int n = static_cast<int>(indices.size());
    view_.resetTable();
    *state_.selectionBox = box;
    *state_.pickedCount = n;
    stats_.reset(n);

    const StoredFrame stored = storedFrame_();
    if (stored.listRows && stored.frame) {
        for (const BoxRow& r :
             frameRowsInBox(*stored.frame, stored.protocol, stored.viewMode, box, n))
            writeRow(makeTableRow(r.row, r.p, r.azimuthDeg, r.distanceMm, r.intensity, r.timeStamp),
                     r.row);
    }

    *view_.clicked = picked;
    view_.viewer->removePointCloud(kClickedCloudId);
    pcl::visualization::PointCloudColorHandlerCustom<CloudPoint> green(view_.clicked, 0, 255, 0);
    view_.viewer->addPointCloud<CloudPoint>(view_.clicked, green, kClickedCloudId);
    view_.viewer->setPointCloudRenderingProperties(pcl::visualization::PCL_VISUALIZER_POINT_SIZE,
                                                   kClickedPointSize, kClickedCloudId);
    view_.repaint();

    *state_.selectionActive = true;
    // The visualizer is still inside its own pick when this runs: leave its picking mode once
    // it has finished.
    const bool wasArmed = *state_.areaSelectArmed;
    setArmed(false);
    if (wasArmed)
        QMetaObject::invokeMethod(
            this, [this] { sendPickKey(); }, Qt::QueuedConnection);
}

InBoxHook PickingRoom::inBoxHook(const LidarDataSingleLine& frame) {
    return [this, &frame](const CloudPoint& p, std::size_t i) {
        const RegionStatistics::Step step = stats_.add(p.x, p.y);
        if (step.textRefreshed) showStatistics(stats_.text());
        if (!*state_.selectionActive) return;
        if (!regionRowVisible(step.row, view_.table->verticalScrollBar()->value())) return;
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
    writeTableRow(*view_.model, row, rowNumber);
}

void PickingRoom::showStatistics(const QString& text) {
    showOverlayText(*view_.viewer, text.toStdString());
}

void PickingRoom::clear() { stats_.reset(0); }

}  // namespace k740
