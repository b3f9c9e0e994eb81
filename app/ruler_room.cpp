// The ruler in the viewer (see ruler_room.h).
#include "app/ruler_room.h"

#include <vtkCamera.h>
#include <vtkMatrix4x4.h>
#include <vtkRenderWindow.h>
#include <vtkRenderer.h>
#include <vtkRendererCollection.h>

#include <QAbstractButton>
#include <QBoxLayout>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QShortcut>
#include <QToolButton>
#include <cstdlib>

#include "app/viewer_scene.h"

namespace k740 {

namespace {
const char* const kLineId = "ruler_line";
const char* const kEndsId = "ruler_points";
const char* const kTextId = "ruler_text";
constexpr int kTextX = 150;  // pixels: above the read-out's line
constexpr int kTextY = 30;
constexpr int kTextSize = 16;
constexpr int kEndSize = 8;     // pixels
constexpr int kClickSlackPx = 3;  // a press and release this close are a click, not a drag

// A ruler laid across the icon, with its ticks.
QIcon rulerIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(16, 16);
    painter.rotate(-45);
    painter.setPen(QPen(QColor(40, 40, 40), 1.5));
    painter.setBrush(QColor(240, 200, 40));
    painter.drawRect(QRectF(-15, -5, 30, 10));
    for (int i = -12; i <= 12; i += 4) painter.drawLine(QLineF(i, -5, i, i % 8 == 0 ? 1 : -1));
    return QIcon(pixmap);
}

}  // namespace

RulerRoom::RulerRoom(QWidget* window, QAbstractButton* button,
                     pcl::visualization::PCLVisualizer::Ptr viewer, std::function<Cloud()> cloud,
                     std::function<void()> repaint, QObject* parent)
    : QObject(parent),
      m_Viewer(std::move(viewer)),
      m_Cloud(std::move(cloud)),
      m_Repaint(std::move(repaint)),
      m_Escape(new QShortcut(QKeySequence(Qt::Key_Escape), window)) {
    button->setIcon(rulerIcon());
    m_Measure = button;
    m_Escape->setEnabled(false);  // only while there is something to take away
    connect(m_Escape, &QShortcut::activated, this, &RulerRoom::clear);
    m_Viewer->registerMouseCallback(
        [this](const pcl::visualization::MouseEvent& event) { onMouse(event); });
}

bool RulerRoom::armed() const { return m_Measure->isChecked(); }

void RulerRoom::setArmed(bool armed) { m_Measure->setChecked(armed); }

void RulerRoom::onMouse(const pcl::visualization::MouseEvent& event) {
    if (event.getButton() != pcl::visualization::MouseEvent::LeftButton) return;
    const int x = static_cast<int>(event.getX());
    const int y = static_cast<int>(event.getY());
    if (event.getType() == pcl::visualization::MouseEvent::MouseButtonPress) {
        m_PressX = x;
        m_PressY = y;
    } else if (event.getType() == pcl::visualization::MouseEvent::MouseButtonRelease) {
        // Dragging turns the view; only a click measures.
        const bool click = m_PressX >= 0 && std::abs(x - m_PressX) <= kClickSlackPx &&
                           std::abs(y - m_PressY) <= kClickSlackPx;
        m_PressX = m_PressY = -1;
        if (click && armed()) clickAt(x, y);
    }
}

bool RulerRoom::clickAt(int x, int y) {
    if (!armed()) return false;
    vtkRenderWindow* window = m_Viewer->getRenderWindow();
    vtkRenderer* renderer = window ? window->GetRenderers()->GetFirstRenderer() : nullptr;
    if (!renderer) return false;
    const int* size = window->GetSize();
    if (!size || size[0] <= 0 || size[1] <= 0) return false;
    vtkMatrix4x4* m = renderer->GetActiveCamera()->GetCompositeProjectionTransformMatrix(
        renderer->GetTiledAspectRatio(), -1, 1);
    ProjectionMatrix projection;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) projection.m[r * 4 + c] = m->GetElement(r, c);
    const Cloud cloud = m_Cloud();
    std::vector<RulerPoint> points;
    points.reserve(cloud.size());
    for (const auto& p : cloud.points) points.push_back({p.x, p.y, p.z});
    const long hit = nearestPointUnderCursor(points, projection, size[0], size[1], x, y);
    if (hit < 0) return false;
    const RulerPoint chosen = points[static_cast<std::size_t>(hit)];
    if (!m_A || m_B) {
        // The first point, or a third click: a new measurement starts.
        m_A = chosen;
        m_B.reset();
    } else {
        m_B = chosen;
    }
    show();
    return true;
}

void RulerRoom::clear() {
    m_A.reset();
    m_B.reset();
    show();
}

void RulerRoom::redraw() { show(); }

void RulerRoom::show() {
    m_Viewer->removeShape(kLineId);
    m_Viewer->removeShape(kTextId);
    m_Viewer->removePointCloud(kEndsId);
    m_Text.clear();
    m_Escape->setEnabled(bool(m_A));
    if (m_A) {
        Cloud::Ptr ends(new Cloud);
        for (const auto& p : {m_A, m_B}) {
            if (!p) continue;
            CloudPoint q;
            q.x = static_cast<float>(p->x);
            q.y = static_cast<float>(p->y);
            q.z = static_cast<float>(p->z);
            ends->push_back(q);
        }
        showSolidCloud(*m_Viewer, ends, kEndsId, kEndSize, 255, 255, 0);
    }
    if (m_A && m_B) {
        CloudPoint a, b;
        a.x = static_cast<float>(m_A->x), a.y = static_cast<float>(m_A->y), a.z = static_cast<float>(m_A->z);
        b.x = static_cast<float>(m_B->x), b.y = static_cast<float>(m_B->y), b.z = static_cast<float>(m_B->z);
        m_Viewer->addLine(a, b, 1.0, 1.0, 0.0, kLineId);
        m_Viewer->setShapeRenderingProperties(pcl::visualization::PCL_VISUALIZER_LINE_WIDTH, 2,
                                              kLineId);
        m_Text = QString::fromStdString(rulerText(rulerReading(*m_A, *m_B)));
        m_Viewer->addText(m_Text.toStdString(), kTextX, kTextY, kTextSize, 1.0, 1.0, 0.0, kTextId);
    }
    m_Repaint();
}

}  // namespace k740
