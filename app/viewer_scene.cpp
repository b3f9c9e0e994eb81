// The drawing side of the 3-D view (see viewer_scene.h).
#include "app/viewer_scene.h"

#include <pcl/visualization/point_cloud_color_handlers.h>
#include <vtkActor.h>
#include <vtkCallbackCommand.h>
#include <vtkCamera.h>
#include <vtkCommand.h>
#include <vtkCellArray.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataMapper.h>
#include <vtkProperty.h>
#include <vtkRenderWindow.h>
#include <vtkRenderer.h>
#include <vtkRendererCollection.h>
#include <vtkRenderWindowInteractor.h>

#include <QEvent>
#include <QWidget>

namespace k740 {

const char* const kGridLinesId = "grid_lines";
const char* const kGridRingsId = "grid_rings";

namespace {

const char* const kOverlayId = "0";
constexpr int kOverlayX = 150, kOverlayY = 0, kOverlayFontSize = 20;

// Half the side of the area framed when a preset is chosen with nothing shown (cm).
constexpr double kEmptySceneHalfSpan = 1000.0;

template <typename Handler>
void showCloud(pcl::visualization::PCLVisualizer& viewer, const Cloud::ConstPtr& cloud,
               const Handler& handler, const std::string& id, int pointSize) {
    if (!viewer.updatePointCloud<CloudPoint>(cloud, handler, id))
        viewer.addPointCloud<CloudPoint>(cloud, handler, id);
    viewer.setPointCloudRenderingProperties(pcl::visualization::PCL_VISUALIZER_POINT_SIZE,
                                            pointSize, id);
}

// One poly-data of line cells for a set of segments.
vtkSmartPointer<vtkPolyData> linesPolyData(const std::vector<GridLine>& segments) {
    auto points = vtkSmartPointer<vtkPoints>::New();
    auto cells = vtkSmartPointer<vtkCellArray>::New();
    points->Allocate(vtkIdType(2 * segments.size()));
    for (const GridLine& s : segments) {
        const vtkIdType ids[2] = {points->InsertNextPoint(s.from), points->InsertNextPoint(s.to)};
        cells->InsertNextCell(2, ids);
    }
    auto data = vtkSmartPointer<vtkPolyData>::New();
    data->SetPoints(points);
    data->SetLines(cells);
    return data;
}

// A plain actor (no level-of-detail switching) registered as a shape, so that it is found,
// removed and restyled under its id like the visualizer's own shapes.
void addLinesShape(pcl::visualization::PCLVisualizer& viewer, const std::vector<GridLine>& segments,
                   const std::string& id) {
    auto mapper = vtkSmartPointer<vtkPolyDataMapper>::New();
    mapper->SetInputData(linesPolyData(segments));
    mapper->ScalarVisibilityOff();
    auto actor = vtkSmartPointer<vtkActor>::New();
    actor->SetMapper(mapper);
    actor->GetProperty()->SetRepresentationToWireframe();
    actor->GetProperty()->SetInterpolationToFlat();
    actor->GetProperty()->SetColor(kGridColour, kGridColour, kGridColour);
    actor->GetProperty()->SetOpacity(kGridOpacity);
    viewer.getRendererCollection()->GetFirstRenderer()->AddActor(actor);
    (*viewer.getShapeActorMap())[id] = actor;
}

}  // namespace

void showRgbCloud(pcl::visualization::PCLVisualizer& viewer, const Cloud::ConstPtr& cloud,
                  const std::string& id, int pointSize) {
    showCloud(viewer, cloud, pcl::visualization::PointCloudColorHandlerRGBField<CloudPoint>(cloud),
              id, pointSize);
}

void showSolidCloud(pcl::visualization::PCLVisualizer& viewer, const Cloud::ConstPtr& cloud,
                    const std::string& id, int pointSize, double r, double g, double b) {
    showCloud(viewer, cloud,
              pcl::visualization::PointCloudColorHandlerCustom<CloudPoint>(cloud, r, g, b), id,
              pointSize);
}

void addGridShapes(pcl::visualization::PCLVisualizer& viewer) {
    addLinesShape(viewer, gridStraightLines(), kGridLinesId);
    addLinesShape(viewer, gridRingChords(), kGridRingsId);
    const double c = kGridColour;
    for (const GridLabel& t : gridLabels())
        viewer.addText3D(
            t.text, pcl::PointXYZ(float(t.position[0]), float(t.position[1]), float(t.position[2])),
            kGridLabelScale, c, c, c, t.id);
}

void applyPresetView(pcl::visualization::PCLVisualizer& viewer, const CameraPreset& preset) {
    vtkRenderer* renderer = viewer.getRendererCollection()->GetFirstRenderer();
    vtkCamera* camera = renderer->GetActiveCamera();
    camera->SetPosition(preset.position);
    camera->SetFocalPoint(preset.focalPoint);
    camera->SetViewUp(preset.viewUp);
    // Moves along the direction of view only; direction and view-up stay the preset's.
    double bounds[6];
    renderer->ComputeVisiblePropBounds(bounds);
    if (bounds[0] <= bounds[1])
        renderer->ResetCamera(bounds);
    else
        renderer->ResetCamera(-kEmptySceneHalfSpan, kEmptySceneHalfSpan, -kEmptySceneHalfSpan,
                              kEmptySceneHalfSpan, 0.0, 0.0);
}

void showOverlayText(pcl::visualization::PCLVisualizer& viewer, const std::string& text) {
    // The longest line must stay inside the view: the region statistics are wide.
    const int* size = viewer.getRenderWindow()->GetSize();
    const int fontSize = overlayFontSize(text, size ? size[0] : 0, kOverlayX, kOverlayFontSize);
    // The visualizer refuses a second text under the same id; the update then shows it.
    if (!viewer.contains(kOverlayId))
        viewer.addText(text, kOverlayX, kOverlayY, fontSize, 0, 0, 1, kOverlayId);
    viewer.updateText(text, kOverlayX, kOverlayY, fontSize, 0, 0, 1, kOverlayId);
}

FocusOnEnter::FocusOnEnter(QWidget* target) : QObject(target), m_Target(target) {
    m_Target->setFocusPolicy(Qt::StrongFocus);
    m_Target->installEventFilter(this);
}

bool FocusOnEnter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_Target && event->type() == QEvent::Enter)
        m_Target->setFocus(Qt::MouseFocusReason);
    return QObject::eventFilter(watched, event);
}

bool isPointSizeKey(char code, const std::string& keySym) {
    return code == '+' || code == '-' || keySym == "plus" || keySym == "minus" ||
           keySym == "KP_Add" || keySym == "KP_Subtract";
}

namespace {
// Ahead of the visualizer's interactor style and every widget on the interactor.
constexpr float kKeyGatePriority = 10.0f;
const unsigned long kGatedEvents[] = {vtkCommand::KeyPressEvent, vtkCommand::KeyReleaseEvent,
                                      vtkCommand::CharEvent};
}  // namespace

ViewKeyGate::ViewKeyGate(vtkRenderWindowInteractor* interactor) : m_Interactor(interactor) {
    m_Command = vtkSmartPointer<vtkCallbackCommand>::New();
    m_Command->SetCallback(&ViewKeyGate::onKey);
    m_Command->SetClientData(this);
    if (m_Interactor)
        for (const unsigned long id : kGatedEvents)
            m_Interactor->AddObserver(id, m_Command, kKeyGatePriority);
}

ViewKeyGate::~ViewKeyGate() {
    if (m_Interactor) m_Interactor->RemoveObserver(m_Command);
}

void ViewKeyGate::inject(char code, const char* keySym) {
    if (!m_Interactor) return;
    m_Injecting = true;
    m_Interactor->SetKeyEventInformation(0, 0, code, 1, keySym);
    m_Interactor->InvokeEvent(vtkCommand::KeyPressEvent, nullptr);
    m_Interactor->InvokeEvent(vtkCommand::KeyReleaseEvent, nullptr);
    m_Injecting = false;
}

void ViewKeyGate::onKey(vtkObject* caller, unsigned long, void* clientData, void*) {
    auto* gate = static_cast<ViewKeyGate*>(clientData);
    auto* interactor = static_cast<vtkRenderWindowInteractor*>(caller);
    if (gate->m_Injecting) return;
    const char* sym = interactor->GetKeySym();
    if (isPointSizeKey(interactor->GetKeyCode(), sym ? std::string(sym) : std::string())) return;
    // Any other key would act behind the window's back (screenshots into the working folder,
    // area picking, styles, leaving the event loop): it stops here.
    gate->m_Command->SetAbortFlag(1);
}

}  // namespace k740
