// The main window's 3-D viewer: set-up, preset views, axes, measuring grid, clearing,
// point-size keys and the cursor read-out.
#include <vtkAxesActor.h>
#include <vtkGenericOpenGLRenderWindow.h>
#include <vtkOrientationMarkerWidget.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkRendererCollection.h>
#include <vtkWorldPointPicker.h>

#include <QFontMetrics>
#include <QLabel>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>

#include "app/manwindow.h"
#include "app/viewer_scene.h"
#include "app/picking_room.h"
#include "display/viewer_geometry.h"
#include "ui_manwindow.h"

namespace {
const char* const kAxesId = "coordinate";
const char* const kOverlayId = "0";
constexpr double kAxesScale = 50.0;  // cm
constexpr int kMinPointSize = 1;
constexpr int kMaxPointSize = 10;
constexpr int kOverlayX = 150, kOverlayY = 0, kOverlayFontSize = 20;
}  // namespace

void manwindow::setupViewer() {
    auto renderer = vtkSmartPointer<vtkRenderer>::New();
    auto renderWindow = vtkSmartPointer<vtkGenericOpenGLRenderWindow>::New();
    // No multisampling: the cloud's points are square pixels anyway, and an 8-sample buffer
    // costs several times the whole frame on software OpenGL (measured with bench_gui).
    renderWindow->SetMultiSamples(0);
    m_Viewer.reset(new pcl::visualization::PCLVisualizer(renderer, renderWindow, "viewer", false));
    ui->screen->setRenderWindow(m_Viewer->getRenderWindow());
    m_Viewer->setupInteractor(ui->screen->interactor(), ui->screen->renderWindow());

    m_RealTimeCloud.reset(new k740::Cloud);
    m_ClickedCloud.reset(new k740::Cloud);

    m_Viewer->registerKeyboardCallback(
        [this](const pcl::visualization::KeyboardEvent& event) { onViewerKey(event); });
    // "+" and "-" reach the view while the pointer merely hovers over it.
    new k740::FocusOnEnter(ui->screen);
    // Choosing the preset already shown applies it again (after the operator moved the camera).
    connect(ui->comboBox_View, QOverload<int>::of(&QComboBox::activated), this, &manwindow::view);

    m_FrameCloud.reset(new k740::Cloud);

    auto axes = vtkSmartPointer<vtkAxesActor>::New();
    m_OrientationMarker = vtkSmartPointer<vtkOrientationMarkerWidget>::New();
    m_OrientationMarker->SetOrientationMarker(axes);
    m_OrientationMarker->SetInteractor(ui->screen->interactor());
    m_OrientationMarker->SetEnabled(1);
    m_OrientationMarker->InteractiveOff();

    m_ReadoutPicker = vtkSmartPointer<vtkWorldPointPicker>::New();

    // Start looking down on the measuring plane; the first cloud then fills the view.
    m_Viewer->setCameraPosition(0, 0, 1, 0, 0, 0, 0, 1, 0);
    repaintScreen();

    m_LinkLabel = new QLabel(this);
    m_LinkLabel->setObjectName(QStringLiteral("label_Link"));
    m_LinkLabel->setTextFormat(Qt::RichText);
    m_LinkLabel->setStyleSheet(QStringLiteral("color: white;"));
    m_LinkLabel->setOpenExternalLinks(true);
    m_LinkLabel->setText(
        QStringLiteral("<a href=\"https://www.kestrel-lidar.example/\">Kestrel K740-P lidar</a>"));
    ui->statusBar->addPermanentWidget(m_LinkLabel);
}

void manwindow::repaintScreen() {
    if (ui->screen->renderWindow()) ui->screen->renderWindow()->Render();
    ui->screen->update();
}

void manwindow::view() {
    k740::CameraPreset preset;
    if (!k740::presetView(ui->comboBox_View->currentIndex(), &preset)) return;
    k740::applyPresetView(*m_Viewer, preset);
    repaintScreen();
}

void manwindow::toggleAxes() {
    if (m_AxesShown) {
        m_Viewer->removeCoordinateSystem(kAxesId);
        m_AxesShown = false;
    } else {
        m_Viewer->addCoordinateSystem(kAxesScale, 0.0f, 0.0f, 0.0f, kAxesId);
        m_AxesShown = true;
    }
    repaintScreen();
}

void manwindow::toggleGrid() {
    if (m_GridHidden) {
        m_GridHidden = false;
        k740::addGridShapes(*m_Viewer);
    } else {
        // Takes every shape, the cursor text included; the axes are no shape and stay.
        m_Viewer->removeAllShapes();
        m_GridHidden = true;
    }
    m_Viewer->resetCamera();
    repaintScreen();
}

void manwindow::clearView() {
    m_SelectionBox = k740::SelectionBox();
    m_SelectionActive = false;
    m_PickedCount = 0;
    m_Picking->clear();
    resetTableModel();
    if (m_AxesShown) m_Viewer->removeCoordinateSystem(kAxesId);
    m_Viewer->removeAllPointClouds();
    m_Viewer->removeAllShapes();
    m_GridHidden = true;  // the grid went with the shapes; the next "MeaGrid" draws it again
    m_Viewer->resetCamera();
    if (m_AxesShown) m_Viewer->addCoordinateSystem(kAxesScale, 0.0f, 0.0f, 0.0f, kAxesId);
    repaintScreen();
}

void manwindow::resetTableModel() {
    m_TableModel->clear();
    m_TableModel->setColumnCount(k740::kTableColumns);
    m_TableModel->setHorizontalHeaderLabels(k740::tableHeaderLabels());
    // Twice: the axes end as they were, drawn again on top.
    toggleAxes();
    toggleAxes();
    sizeTableColumns();
}

void manwindow::sizeTableColumns() {
    // Widths for the widest text each column takes, set once per reset: fitting the columns to
    // their contents after every frame would lay out every cell's text again each time.
    if (ui->tableView->model() != m_TableModel) return;
    static const char* const kWidest[k740::kTableColumns] = {
        "PointID",   "-4999.0000 -4999.0000 0.0000", "359.999", "Distance_cm", "Intensity",
        "4294967295"};
    const QFontMetrics metrics(ui->tableView->font());
    for (int c = 0; c < k740::kTableColumns; ++c)
        ui->tableView->setColumnWidth(c, metrics.horizontalAdvance(QLatin1String(kWidest[c])) + 16);
}

void manwindow::onViewerKey(const pcl::visualization::KeyboardEvent& event) {
    if (!event.keyDown()) return;
    const std::string key = event.getKeySym();
    const char code = event.getKeyCode();
    if (code == '+' || key == "plus" || key == "KP_Add") {
        if (m_PointSize < kMaxPointSize) ++m_PointSize;
    } else if (code == '-' || key == "minus" || key == "KP_Subtract") {
        if (m_PointSize > kMinPointSize) --m_PointSize;
    }
}

void manwindow::refreshReadout() {
    vtkRenderWindowInteractor* interactor = ui->screen->interactor();
    vtkRenderWindow* window = ui->screen->renderWindow();
    if (!interactor || !window) return;
    vtkRenderer* renderer = window->GetRenderers()->GetFirstRenderer();
    if (!renderer) return;
    interactor->SetPicker(m_ReadoutPicker);
    const int* pos = interactor->GetEventPosition();
    m_ReadoutPicker->Pick(pos[0], pos[1], 0, renderer);
    double p[3];
    m_ReadoutPicker->GetPickPosition(p);
    const double distance = k740::readoutDistance(p[0], p[1], p[2]);
    const double azimuth = k740::readoutAzimuth(p[0], p[1]);
    if (m_SelectionActive) return;
    m_ReadoutText = k740::readoutText(distance, azimuth);
    const std::string text = m_ReadoutText.toStdString();
    // The visualizer refuses a second text under the same id; the update then shows it.
    if (!m_Viewer->contains(kOverlayId))
        m_Viewer->addText(text, kOverlayX, kOverlayY, kOverlayFontSize, 0, 0, 1, kOverlayId);
    m_Viewer->updateText(text, kOverlayX, kOverlayY, kOverlayFontSize, 0, 0, 1, kOverlayId);
}
