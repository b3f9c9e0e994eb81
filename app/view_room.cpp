// The view room (see view_room.h).
#include "app/view_room.h"

#include <QVTKOpenGLNativeWidget.h>
#include <vtkAxesActor.h>
#include <vtkGenericOpenGLRenderWindow.h>
#include <vtkOrientationMarkerWidget.h>
#include <vtkProperty.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkRendererCollection.h>
#include <vtkWorldPointPicker.h>

#include <QComboBox>
#include <QFontMetrics>
#include <QMutexLocker>
#include <QStandardItemModel>
#include <QTableView>
#include <algorithm>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "app/rules/viewer_comfort.h"
#include "app/viewer_scene.h"
#include "display/viewer_geometry.h"

namespace k740 {

const char* const kRealTimeCloudId = "realTime_points";
const char* const kClickedCloudId = "clicked_points";

namespace {
const char* const kAxesId = "coordinate";
std::string trailId(std::size_t slot) { return "trail_" + std::to_string(slot); }

// Gives the heap's free memory back to the system: a trail of twenty frames frees tens of
// megabytes at once, which the allocator would otherwise keep for the process.
void returnFreedMemory() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}
constexpr double kAxesScale = 50.0;  // cm
constexpr int kMinPointSize = 1;
constexpr int kMaxPointSize = 10;
constexpr int kFramesToFit = 2;
}  // namespace

ViewRoom::ViewRoom(const Widgets& widgets, QObject* parent) : QObject(parent), m_W(widgets) {
    auto renderer = vtkSmartPointer<vtkRenderer>::New();
    auto renderWindow = vtkSmartPointer<vtkGenericOpenGLRenderWindow>::New();
    // No multisampling: the cloud's points are square pixels anyway, and an 8-sample buffer
    // costs several times the whole frame on software OpenGL (measured with bench_gui).
    renderWindow->SetMultiSamples(0);
    m_Viewer.reset(new pcl::visualization::PCLVisualizer(renderer, renderWindow, "viewer", false));
    m_W.screen->setRenderWindow(m_Viewer->getRenderWindow());
    m_Viewer->setupInteractor(m_W.screen->interactor(), m_W.screen->renderWindow());

    m_RealTimeCloud.reset(new Cloud);
    m_ClickedCloud.reset(new Cloud);
    m_FrameCloud.reset(new Cloud);

    m_KeyGate = std::make_unique<ViewKeyGate>(m_W.screen->interactor());
    m_Viewer->registerKeyboardCallback(
        [this](const pcl::visualization::KeyboardEvent& event) { onKey(event); });
    // "+" and "-" reach the view while the pointer merely hovers over it.
    new FocusOnEnter(m_W.screen);

    auto axes = vtkSmartPointer<vtkAxesActor>::New();
    m_OrientationMarker = vtkSmartPointer<vtkOrientationMarkerWidget>::New();
    m_OrientationMarker->SetOrientationMarker(axes);
    m_OrientationMarker->SetInteractor(m_W.screen->interactor());
    m_OrientationMarker->SetEnabled(1);
    m_OrientationMarker->InteractiveOff();

    m_ReadoutPicker = vtkSmartPointer<vtkWorldPointPicker>::New();

    // Start from the view the list shows; the first cloud then fills the view.
    applyPreset();

    m_TableModel = new QStandardItemModel(this);
}

ViewRoom::~ViewRoom() = default;

void ViewRoom::injectKey(char code, const char* keySym) { m_KeyGate->inject(code, keySym); }

Cloud ViewRoom::realTimeCloud() const {
    QMutexLocker lock(&m_DisplayMutex);
    return *m_RealTimeCloud;
}

void ViewRoom::repaint() {
    if (m_W.screen->renderWindow()) m_W.screen->renderWindow()->Render();
    m_W.screen->update();
}

void ViewRoom::applyPreset() {
    CameraPreset preset;
    if (!presetView(m_W.presets->currentIndex(), &preset)) return;
    applyPresetView(*m_Viewer, preset);
    repaint();
}

void ViewRoom::toggleAxes() {
    if (m_AxesShown) {
        m_Viewer->removeCoordinateSystem(kAxesId);
        m_AxesShown = false;
    } else {
        m_Viewer->addCoordinateSystem(kAxesScale, 0.0f, 0.0f, 0.0f, kAxesId);
        m_AxesShown = true;
    }
    repaint();
}

void ViewRoom::toggleGrid() {
    if (m_GridHidden) {
        m_GridHidden = false;
        addGridShapes(*m_Viewer);
    } else {
        // Takes every shape, the cursor text included; the axes are no shape and stay.
        m_Viewer->removeAllShapes();
        m_GridHidden = true;
    }
    m_Viewer->resetCamera();
    repaint();
}

void ViewRoom::clear() {
    resetTable();
    if (m_AxesShown) m_Viewer->removeCoordinateSystem(kAxesId);
    clearTrail();
    m_Viewer->removeAllPointClouds();
    m_Viewer->removeAllShapes();
    m_GridHidden = true;  // the grid went with the shapes; the next "MeaGrid" draws it again
    m_Viewer->resetCamera();
    if (m_AxesShown) m_Viewer->addCoordinateSystem(kAxesScale, 0.0f, 0.0f, 0.0f, kAxesId);
    repaint();
}

void ViewRoom::resetTable() {
    m_TableModel->clear();
    m_TableModel->setColumnCount(kTableColumns);
    m_TableModel->setHorizontalHeaderLabels(tableHeaderLabels());
    // Twice: the axes end as they were, drawn again on top.
    toggleAxes();
    toggleAxes();
    if (m_W.table->model() != m_TableModel) m_W.table->setModel(m_TableModel);
    sizeTableColumns();
}

void ViewRoom::sizeTableColumns() {
    // Widths for the widest text each column takes, set once per reset: fitting the columns to
    // their contents after every frame would lay out every cell's text again each time.
    static const char* const kWidest[kTableColumns] = {"PointID",   "-4999.0000 -4999.0000 0.0000",
                                                       "359.999",   "Distance_cm",
                                                       "Intensity", "4294967295"};
    const QFontMetrics metrics(m_W.table->font());
    for (int c = 0; c < kTableColumns; ++c)
        m_W.table->setColumnWidth(c, metrics.horizontalAdvance(QLatin1String(kWidest[c])) + 16);
}

void ViewRoom::onKey(const pcl::visualization::KeyboardEvent& event) {
    if (!event.keyDown()) return;
    const std::string key = event.getKeySym();
    const char code = event.getKeyCode();
    if (code == '+' || key == "plus" || key == "KP_Add") {
        if (m_PointSize < kMaxPointSize) ++m_PointSize;
    } else if (code == '-' || key == "minus" || key == "KP_Subtract") {
        if (m_PointSize > kMinPointSize) --m_PointSize;
    }
}

void ViewRoom::drawFrame(LidarDataSingleLine& frame, CloudOptions options, bool exported,
                         const InBoxHook& inBox) {
    m_FrameCloud->clear();
    const SelectionView selected = selection();
    options.selectionActive = selected.active;
    options.box = selected.box;

    std::vector<TableRow> rows;
    m_ClickedCloud->clear();
    {
        QMutexLocker lock(&m_DisplayMutex);
        if (!exported) keepForTrail();
        m_RealTimeCloud->clear();
        if (!exported)
            buildFrameClouds(frame, options, *m_FrameCloud, *m_RealTimeCloud, *m_ClickedCloud, rows,
                             inBox);
    }

    // The first visible points of the frame overwrite the table from the top.
    m_TableRows = 0;
    for (const TableRow& row : rows) writeTableRow(*m_TableModel, row, m_TableRows++);

    showClouds();
    if (m_CamerasFitted < kFramesToFit && !m_RealTimeCloud->empty()) {
        // The first clouds the window ever shows are brought into view (the very first one may
        // be a part of a revolution); afterwards the camera stays where the operator puts it.
        m_Viewer->resetCamera();
        ++m_CamerasFitted;
    }
    repaint();
    ++m_FramesDrawn;
    if (selected.readoutOn) refreshReadout();
}

void ViewRoom::setPointSize(int size) {
    m_PointSize = std::clamp(size, kMinPointSize, kMaxPointSize);
    if (m_Viewer->contains(kRealTimeCloudId))
        m_Viewer->setPointCloudRenderingProperties(pcl::visualization::PCL_VISUALIZER_POINT_SIZE,
                                                   m_PointSize, kRealTimeCloudId);
}

void ViewRoom::setTrailLength(int length) {
    length = std::clamp(length, 1, kMaxTrail);
    if (length == m_Trail.length()) return;
    clearTrail();
    m_Trail.setLength(length);
}

void ViewRoom::clearTrail() {
    const bool held = m_Trail.bytesHeld() > 0;
    // Their actors, poly data and GL buffers go with them.
    for (std::size_t k = 0; k + 1 < static_cast<std::size_t>(kMaxTrail); ++k)
        m_Viewer->removePointCloud(trailId(k));
    m_Trail.clear();
    m_TrailPushed = false;
    m_TrailStartsAfresh = true;  // the frame on screen now is no longer one of the trail's
    if (held) returnFreedMemory();
}

std::size_t ViewRoom::trailBytesHeld() const { return m_Trail.bytesHeld(); }

void ViewRoom::keepForTrail() {
    const bool afresh = m_TrailStartsAfresh;
    m_TrailStartsAfresh = false;
    if (afresh || m_RealTimeCloud->empty() || m_Trail.length() <= 1) return;
    // The frame about to be replaced becomes the newest of the older ones.
    m_Trail.push(*m_RealTimeCloud);
    m_TrailPushed = true;
}

void ViewRoom::showTrail() {
    for (const TrailFrames::Layer& layer : m_Trail.layers()) {
        const std::string id = trailId(layer.slot);
        // A frame is uploaded once, as it enters its slot; afterwards only its dimming changes.
        if ((m_TrailPushed && layer.slot == m_Trail.newestSlot()) || !m_Viewer->contains(id)) {
            const Cloud::ConstPtr frame(&m_Trail.slotFrame(layer.slot), [](const Cloud*) {});
            showRgbCloud(*m_Viewer, frame, id, m_PointSize);
        }
        // Older frames fainter: their colours scaled towards the black background, drawn
        // opaque (unlit points take their colour times the diffuse coefficient).
        const auto actor = m_Viewer->getCloudActorMap()->find(id);
        if (actor == m_Viewer->getCloudActorMap()->end()) continue;
        vtkProperty* look = actor->second.actor->GetProperty();
        look->SetAmbient(0.0);
        look->SetDiffuse(layer.fade);
        look->SetOpacity(1.0);
    }
    m_TrailPushed = false;
}

void ViewRoom::showClouds() {
    showTrail();
    // Both clouds keep their actors from frame to frame; only their points change.
    showSolidCloud(*m_Viewer, m_ClickedCloud, kClickedCloudId, kClickedPointSize, 0, 255, 0);
    showRgbCloud(*m_Viewer, m_RealTimeCloud, kRealTimeCloudId, m_PointSize);
}

void ViewRoom::refreshReadout() {
    vtkRenderWindowInteractor* interactor = m_W.screen->interactor();
    vtkRenderWindow* window = m_W.screen->renderWindow();
    if (!interactor || !window) return;
    vtkRenderer* renderer = window->GetRenderers()->GetFirstRenderer();
    if (!renderer) return;
    // The read-out picks on its own: the interactor's picker belongs to the visualizer (its
    // area picking swaps it in and out).
    const int* pos = interactor->GetEventPosition();
    m_ReadoutPicker->Pick(pos[0], pos[1], 0, renderer);
    double p[3];
    m_ReadoutPicker->GetPickPosition(p);
    const double distance = readoutDistance(p[0], p[1], p[2]);
    const double azimuth = readoutAzimuth(p[0], p[1]);
    if (selection().active) return;
    m_ReadoutText = QString::fromStdString(k740::readoutText(distance, azimuth));
    showOverlayText(*m_Viewer, m_ReadoutText.toStdString());
}

void writeTableRow(QStandardItemModel& model, const TableRow& row, int rowNumber) {
    for (int column = 0; column < kTableColumns; ++column) {
        QStandardItem* item = model.item(rowNumber, column);
        if (item)
            item->setText(row[column]);
        else
            model.setItem(rowNumber, column, new QStandardItem(row[column]));
    }
}

}  // namespace k740
