// The main window's live point cloud: every frame becomes the coloured cloud
// "realTime_points", the highlighted "clicked_points" and the first rows of the data table.
#include <QMutexLocker>
#include <QStandardItemModel>

#include "acquisition/GetlidarData_1.h"
#include "app/export_room.h"
#include "app/manwindow.h"
#include "app/viewer_scene.h"
#include "app/picking_room.h"
#include "ui_manwindow.h"

namespace {
const char* const kRealTimeId = "realTime_points";
const char* const kClickedId = "clicked_points";
constexpr int kClickedPointSize = 5;
constexpr int kFramesToFit = 2;
}  // namespace

k740::Cloud manwindow::realTimeCloud() const {
    QMutexLocker lock(&m_DisplayMutex);
    return *m_RealTimeCloud;
}

void manwindow::CalculateCoordinates(struct LidarDataSingleLine lidardata) {
    // The receiver keeps only a couple of frames on their way here; this one has arrived. When
    // drawing falls behind and a newer frame is already waiting, this one is stale: skip it.
    if (m_Receiver && sender() == m_Receiver) {
        m_Receiver->frameConsumed();
        // An export writes every frame, stale or not.
        if (m_Receiver->framesInFlight() > 0 && m_DisplayRunning && !m_Closing && !m_Export->saving()) {
            ++m_StaleFramesSkipped;
            return;
        }
    }
    if (!m_DisplayRunning || m_Closing) return;

    m_FrameCloud->clear();
    m_LastFrame = lidardata;
    ui->comboBox_4->setEnabled(true);

    k740::CloudOptions options;
    options.protocol = ui->comboBox_agree->currentIndex();
    options.viewMode = ui->comboBox_degree->currentIndex();
    options.colourMode = ui->comboBox_4->currentIndex();
    options.angleLimit = k740::g_DisplayAngleLimit;
    options.selectionActive = m_SelectionActive;
    options.box = m_SelectionBox;

    std::vector<k740::TableRow> rows;
    m_ClickedCloud->clear();
    // While an export runs the frame goes to the file instead of the view.
    const bool exported = m_Export->exportFrame(lidardata, {options.protocol, options.viewMode});
    {
        QMutexLocker lock(&m_DisplayMutex);
        m_RealTimeCloud->clear();
        if (!exported)
            k740::buildFrameClouds(lidardata, options, *m_FrameCloud, *m_RealTimeCloud, *m_ClickedCloud, rows,
                                   m_Picking->inBoxHook(lidardata));
    }

    // The first visible points of the frame overwrite the table from the top.
    m_TableRows = 0;
    for (const k740::TableRow& row : rows) {
        for (int column = 0; column < k740::kTableColumns; ++column) {
            QStandardItem* item = m_TableModel->item(m_TableRows, column);
            if (item)
                item->setText(row[column]);
            else
                m_TableModel->setItem(m_TableRows, column, new QStandardItem(row[column]));
        }
        ++m_TableRows;
    }

    // The frame counter of a playing capture file follows the player (the playback room).

    showClouds();
    if (m_CamerasFitted < kFramesToFit && !m_RealTimeCloud->empty()) {
        // The first clouds the window ever shows are brought into view (the very first one may
        // be a part of a revolution); afterwards the camera stays where the operator puts it.
        m_Viewer->resetCamera();
        ++m_CamerasFitted;
    }
    repaintScreen();
    ++m_FramesDrawn;
    if (m_ReadoutOn) refreshReadout();
}

void manwindow::showClouds() {
    // Both clouds keep their actors from frame to frame; only their points change.
    k740::showSolidCloud(*m_Viewer, m_ClickedCloud, kClickedId, kClickedPointSize, 0, 255, 0);
    k740::showRgbCloud(*m_Viewer, m_RealTimeCloud, kRealTimeId, m_PointSize);
}
