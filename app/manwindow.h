// The main window: the switchboard of the user interface. It builds the form, creates the
// long-lived workers, keeps the one mode that decides which of live display, playback,
// recording and export may run (app/rules/window_mode.h), and hands each feature to its room:
// a room is a class under app/ that is given only the widgets it drives, the workers it
// controls and the window's state, and the window's slots forward to it in a line or three.
//
// Rooms: the live display (app/live_session.h), capture-file playback (app/playback_room.h),
// the view with its clouds and table model (app/view_room.h), region picking, recording, the
// CSV export, the settings and service windows. A new feature joins the same way: one file set
// under app/, a member below, a forwarder in the slot of the same name, and a row in the mode
// table when the action is refused in some mode (allowedNow() shows the refusal).
#pragma once

#include <pcl/visualization/pcl_visualizer.h>

#include <QList>
#include <QMainWindow>
#include <QString>
#include <memory>

#include "acquisition/lidar_frame.h"
#include "app/rules/window_mode.h"
#include "app/view_room.h"
#include "display/cloud_builder.h"

namespace Ui {
class manwindowClass;
}
class GetlidarData_1;
class GetSet;
class ReadLiveOffData;
namespace k740 {
class LiveSession;
class SettingsRoom;
class ExportRoom;
class PickingRoom;
class PlaybackRoom;
class ServiceRoom;
class RecordingRoom;
class SnapshotRoom;
class FiguresRoom;
class PieceRoom;
class PaceRoom;
class RulerRoom;
class CloseRequestWhileBlocked;
class SettingsMemory;
}

class manwindow : public QMainWindow {
    Q_OBJECT
public:
    explicit manwindow(QWidget* parent = nullptr);
    ~manwindow() override;

    // The rooms are the window's children (findChild<k740::PlaybackRoom*>() and so on), the
    // widgets the form's, by their object names.

    // Copies of the displayed clouds and the stored frame.
    k740::Cloud realTimeCloud() const { return m_View->realTimeCloud(); }
    k740::Cloud clickedCloud() const { return m_View->clickedCloud(); }
    k740::Cloud frameCloud() const { return m_View->frameCloud(); }
    const LidarDataSingleLine& lastFrame() const { return m_LastFrame; }

    bool liveRunning() const { return m_LiveRunning; }
    bool displayRunning() const { return m_DisplayRunning; }
    bool axesShown() const { return m_View->axesShown(); }
    bool gridHidden() const { return m_View->gridHidden(); }
    int pointSize() const { return m_View->pointSize(); }
    int tableRows() const { return m_View->tableRows(); }
    int returnMode() const { return m_ReturnMode; }
    int viewMode() const { return m_ViewMode; }
    bool notPlayingOffline() const { return m_NotPlayingOffline; }
    // The mode and the facts beside it, from which the flags above follow. It changes only
    // through its events (WindowState::apply), and the rooms follow it.
    const k740::WindowState& modeState() const { return m_State; }
    k740::WindowState& modeState() { return m_State; }
    QString readoutTextShown() const { return m_View->readoutText(); }
    long long framesDrawn() const { return m_View->framesDrawn(); }
    long long staleFramesSkipped() const { return m_StaleFramesSkipped; }

    // Interface address for the receivers' multicast membership (empty = any). The demo and
    // the tests keep group traffic on the loopback interface with "127.0.0.1".
    void setMulticastInterface(const QString& address);

    // Opens a capture file as "Open" does, without the file dialog (the command line).
    bool openCaptureFile(const QString& path);

    // Stops both receiver threads and waits for each at most waitMs. True when both ended.
    bool stopReceivers(int waitMs);

    // Key presses on the viewer, as its keyboard callback sees them ("+"/"-" point size).
    void onViewerKey(const pcl::visualization::KeyboardEvent& event);

    // The remembered settings of this window (`file` empty: the user's own settings file).
    std::unique_ptr<k740::SettingsMemory> settingsMemory(const QString& file = QString());

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
    void SelectPoints();
    void CalculateCoordinates(struct LidarDataSingleLine lidardata);
    void onCodeData(QString code);
    // The player's end report.
    void FinshorStart(bool Finshone);
    void Return_Mode();
    void Return_Degree();
    void showVerticalSetting();
    void showAngleLinedit_pressed();
    void receiveSaveDataOption(bool isSave, int freams, float angleMin, float angleMax, QList<int> lines);
    void OnAgreeIndexChange(int);
    void On_SaveCSV();

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

    // The Offline tab's transport (the playback room).
    void onOpen_Clicked();
    void onGoToStart_Clicked();
    void onGoToEnd_Clicked();
    void onSeekForward_Clicked();
    void onSeekBackward_Clicked();

    // Viewer controls.
    void toggleAxes();
    void toggleGrid();
    void clearView();

private slots:
    // Keeps the sensor's address from a device information packet (for the recorder).
    void noteDevicePacket(QByteArray packet);

protected:
    void closeEvent(QCloseEvent* event) override;
    // A capture file dropped onto the window opens as "Open" would.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void applyPalette();
    void makeConnections();
    void addLinkLabel();
    // The toggles look pressed while their feature is on.
    void showToggleStates();

    std::unique_ptr<Ui::manwindowClass> ui;
    LidarDataSingleLine m_LastFrame;  // the frame drawn last (the export and picking read it)
    GetlidarData_1* m_Receiver = nullptr;
    GetSet* m_StatusReceiver = nullptr;
    // The one state the window's flags follow; the flags read it and cannot be written, the
    // state changes only through its events.
    k740::WindowState m_State;
    const k740::ModeFlag m_Playing{m_State, &k740::playbackActive};
    const k740::ModeFlag m_NotPlayingOffline{m_State, &k740::notPlayingOffline};
    ReadLiveOffData* m_Player = nullptr;
    k740::PaceRoom* m_Pace = nullptr;
    k740::RulerRoom* m_Ruler = nullptr;
    int m_ReturnMode = 0;
    int m_ViewMode = 0;
    const k740::ModeFlag m_DisplayRunning{m_State, &k740::displayRunning};
    const k740::ModeFlag m_LiveRunning{m_State, &k740::liveRunning};

    // Rooms (see the head of this file).
    k740::LiveSession* m_Live = nullptr;
    k740::ExportRoom* m_Export = nullptr;
    k740::PickingRoom* m_Picking = nullptr;
    k740::PlaybackRoom* m_Playback = nullptr;
    k740::ViewRoom* m_View = nullptr;

    long long m_StaleFramesSkipped = 0;
    bool m_Closing = false;
    k740::SettingsRoom* m_SettingsRoom = nullptr;  // settings and About windows
    k740::RecordingRoom* m_Recording = nullptr;
    QString m_LastSensorAddress;  // from the last device information packet, for the recorder
    k740::ServiceRoom* m_ServiceRoom = nullptr;    // service mode and its windows
    k740::SnapshotRoom* m_Snapshot = nullptr;
    k740::FiguresRoom* m_Figures = nullptr;
    k740::PieceRoom* m_Piece = nullptr;
    std::unique_ptr<k740::CloseRequestWhileBlocked> m_CloseRequests;
};
