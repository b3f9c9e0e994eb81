// The main window: the whole user interface, the receiver threads, the state flags that
// decide which of live display, playback, recording and export may run, the 3-D viewer and
// the live point cloud.
#pragma once

#include <pcl/visualization/pcl_visualizer.h>
#include <vtkSmartPointer.h>

#include <QList>
#include <QMainWindow>
#include <QMutex>
#include <QString>
#include <memory>

#include "acquisition/lidar_frame.h"
#include "display/cloud_builder.h"

namespace Ui {
class manwindowClass;
}
class QLabel;
class QStandardItemModel;
class GetlidarData_1;
class GetSet;
class vtkOrientationMarkerWidget;
class vtkWorldPointPicker;
namespace k740 {
class SettingsRoom;
class ServiceRoom;
}

class manwindow : public QMainWindow {
    Q_OBJECT
public:
    explicit manwindow(QWidget* parent = nullptr);
    ~manwindow() override;

    // The form, the viewer and the receivers, for the demo start-up and for tests.
    Ui::manwindowClass* form() const { return ui.get(); }
    pcl::visualization::PCLVisualizer::Ptr viewer() const { return m_Viewer; }
    GetlidarData_1* receiver() const { return m_Receiver; }
    GetSet* statusReceiver() const { return m_StatusReceiver; }
    QStandardItemModel* tableModel() const { return m_TableModel; }
    k740::SettingsRoom* settingsRoom() const { return m_SettingsRoom.get(); }
    k740::ServiceRoom* serviceRoom() const { return m_ServiceRoom.get(); }

    // Copies of the displayed clouds and the stored frame.
    k740::Cloud realTimeCloud() const;
    k740::Cloud clickedCloud() const { return *m_ClickedCloud; }
    k740::Cloud frameCloud() const { return *m_FrameCloud; }
    const LidarDataSingleLine& lastFrame() const { return m_LastFrame; }

    bool liveRunning() const { return m_LiveRunning; }
    bool displayRunning() const { return m_DisplayRunning; }
    bool axesShown() const { return m_AxesShown; }
    bool gridHidden() const { return m_GridHidden; }
    int pointSize() const { return m_PointSize; }
    int tableRows() const { return m_TableRows; }
    int returnMode() const { return m_ReturnMode; }
    int viewMode() const { return m_ViewMode; }
    bool notPlayingOffline() const { return m_NotPlayingOffline; }
    bool selectionActive() const { return m_SelectionActive; }
    const k740::SelectionBox& selectionBox() const { return m_SelectionBox; }
    QString readoutTextShown() const { return m_ReadoutText; }
    long long framesDrawn() const { return m_FramesDrawn; }
    long long staleFramesSkipped() const { return m_StaleFramesSkipped; }

    // Interface address for the receivers' multicast membership (empty = any). The demo and
    // the tests keep group traffic on the loopback interface with "127.0.0.1".
    void setMulticastInterface(const QString& address);

    // Stops both receiver threads and waits for each at most waitMs. True when both ended.
    bool stopReceivers(int waitMs);

    // Key presses on the viewer, as its keyboard callback sees them ("+"/"-" point size).
    void onViewerKey(const pcl::visualization::KeyboardEvent& event);

signals:
    void SendModel(int ReturnMode);
    void SendDegreeMode(int degreeMode);
    void SendCount(int);
    void SendSaveState(bool);
    void sendAngleMistake(int channel);
    void Sig_SaveCSV();

public slots:
    void process(int);
    void view();
    void CalculateCoordinates(struct LidarDataSingleLine lidardata);
    void onCodeData(QString code);
    void Return_Mode();
    void Return_Degree();
    void showVerticalSetting();
    void showAngleLinedit_pressed();
    void OnAgreeIndexChange(int);

    // Live display on or off (toolButton_Lidar).
    void onLidar_Clicked();
    // Pause or resume drawing while the live display runs (tolbtn_offdata).
    void onPauseDisplay_Clicked();
    // Show or hide the data dock (tolbtn_LidarDataList).
    void onDataList_Clicked();
    // Refusals that stand while the live display is off; the rest of these actions comes with
    // recording, export and playback.
    void onSavePcapData_Clicked();
    void onSaveCSV_Clicked();
    void onPlay_Clicked();

    // Viewer controls.
    void toggleAxes();
    void toggleGrid();
    void clearView();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    friend struct ManwindowProbe;  // tests reach the state flags through it

    void applyPalette();
    void makeConnections();
    void setupViewer();
    void resetTableModel();
    void sizeTableColumns();
    void showClouds();
    void refreshReadout();
    void repaintScreen();
    void onViewerMouse(const pcl::visualization::MouseEvent& event);

    // Members in the order of the window's data model.
    std::unique_ptr<Ui::manwindowClass> ui;
    pcl::visualization::PCLVisualizer::Ptr m_Viewer;
    k740::Cloud::Ptr m_RealTimeCloud;
    k740::Cloud::Ptr m_ClickedCloud;
    bool m_AxesShown = false;
    bool m_GridHidden = true;
    int m_PointSize = 1;
    bool m_AreaSelectArmed = false;
    bool m_SelectionActive = false;
    int m_PickedCount = 0;
    k740::SelectionBox m_SelectionBox;
    float m_RegionStats[6] = {0, 0, 0, 0, 0, 0};  // x min, x max, x sum, y min, y max, y sum
    bool m_ReadoutOn = true;
    LidarDataSingleLine m_LastFrame;
    k740::Cloud::Ptr m_FrameCloud;
    GetlidarData_1* m_Receiver = nullptr;
    GetSet* m_StatusReceiver = nullptr;
    QStandardItemModel* m_TableModel = nullptr;
    int m_TableRows = 0;
    bool m_Playing = false;
    bool m_NotPlayingOffline = true;
    bool m_ForwardSeekUsed = false;
    int m_ForwardSpeed = 1;
    int m_BackwardSpeed = 1;
    bool m_Forward = true;
    bool m_Backward = false;
    int m_PlayPresses = 1;
    QString m_FileName;
    int m_FrameCount = 30;
    bool m_LiveStartedOnce = false;
    int m_FrameIndex = 0;
    bool m_OfflineActive = false;
    bool m_Finished = false;
    int m_ReturnMode = 0;
    int m_ViewMode = 0;
    mutable QMutex m_DisplayMutex;
    bool m_DisplayRunning = true;
    bool m_LiveRunning = false;

    // Viewer furniture.
    vtkSmartPointer<vtkOrientationMarkerWidget> m_OrientationMarker;
    vtkSmartPointer<vtkWorldPointPicker> m_ReadoutPicker;
    QLabel* m_LinkLabel = nullptr;
    QString m_ReadoutText;
    QString m_MulticastInterface;
    long long m_FramesDrawn = 0;
    long long m_StaleFramesSkipped = 0;
    int m_CamerasFitted = 0;
    bool m_Closing = false;
    std::unique_ptr<k740::SettingsRoom> m_SettingsRoom;  // settings and About windows
    std::unique_ptr<k740::ServiceRoom> m_ServiceRoom;    // service mode and its windows
};
