// The advanced settings window: measuring range, tail removal, echo mode, zero-angle position,
// offset and calibration angles, high-reflect compensation and motor speed, written on a
// freshly captured device information packet; the settings dump, the default network packet
// and the GPS time-stamp test's start and stop. Packet rules live in device/advanced_config.
// Refresh, Set and Save search the adapter for a device packet (up to about 5 s) on a worker
// thread: the window and the live cloud go on meanwhile, the busy cursor shows and the three
// buttons stay disabled until the search has ended; then each button goes on as it always did.
// Closing the window drops a running search's result; destroying it waits for the search.
#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "device/advanced_config.h"
#include "device/device_metatypes.h"
#include "device/device_packet.h"
#include "device/device_packet_search.h"
#include "platform/capture_device.h"

namespace Ui {
class ACWPSettingWidget;
}

class ACWPSettingWidget : public QWidget {
    Q_OBJECT
public:
    explicit ACWPSettingWidget(QWidget* parent = nullptr);
    ~ACWPSettingWidget() override;

    Ui::ACWPSettingWidget* form() const { return ui.get(); }
    k740::AdvancedForm formValues() const;

    // The main window's button: show the window and start not refreshed.
    void showFromMainWindow();
    bool refreshed() const { return m_Refreshed; }
    // A device packet search is running on the worker.
    bool searching() const { return m_SearchRunning; }

    // Capture adapter to search instead of the chosen one (empty = choose as for recording).
    void setCaptureInterface(const QString& name) { m_CaptureInterface = name; }
    // The sensor's address from the last device information packet: the adapter whose subnet
    // holds it is searched, as for recording (until a capture has found the sensor itself).
    void noteSensorAddress(const QString& address);
    // Only device packets from this sensor address count in the searches (empty = any).
    void setSensorFilter(const QString& address) { m_SensorFilter = address; }
    // Folder under which the GPS test's dated folders go (default: defaultGpsLogRoot()).
    void setGpsLogRoot(const QString& root) { m_GpsLogRoot = root; }
    // What the GPS test needs of the main window: why it cannot start now (empty when it
    // can), and how many whole packets the receiver has logged since the test started. A test
    // that has logged nothing after kGpsSilenceMs ends with a warning instead of passing
    // for one without jumps.
    void setGpsTestHooks(std::function<QString()> whyNot, std::function<long long()> packetsLogged) {
        m_GpsWhyNot = std::move(whyNot);
        m_GpsPacketsLogged = std::move(packetsLogged);
    }
    static constexpr int kGpsSilenceMs = 3000;
    bool gpsTestRunning() const;

    const QByteArray& lastSentPacket() const { return m_SendBuffer; }
    QString lastSentAddress() const { return m_LastAddress; }
    const std::vector<int>& statusValues() const { return m_StatusValues; }

signals:
    void sendTestFileName(QString path, QString pathError);
    void sendStopTest();

public slots:
    void onOK_Clicked();
    void onCancel_Clicked();
    void onLidarStatusReceiving(SettingData data, std::vector<int> Mac);
    void onRefreshbutton_clicked();
    void onSaveSettingFile();
    void onRecoverSetting();
    void onStartCheck_Clicked();
    void recvErrorCount(int count);
    void recvTimeStamp(QString stamp);
    void onCleanACWPControl();
    // The receiver could not open or write a log: the test has ended, the reason is shown.
    void onGpsTestFailed(QString why);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    using Search = k740::DevicePacketFound::Status;
    using AfterSearch = std::function<void(const k740::DevicePacketFound&)>;
    // Starts the search for a device information packet (A5 FF 00 5A when fullHeader, else
    // A5 FF) within frameLimit frames on the worker; `then` runs here with its result.
    void startSearch(bool fullHeader, int frameLimit, AfterSearch then);
    void onSearchEnded(const k740::DevicePacketFound& found);
    void showSearchWait(bool waiting);
    // What Refresh, Set and Save do with the search's result.
    void showRefreshed(const k740::DevicePacketFound& found);
    void sendOnCaptured(const k740::DevicePacketFound& found, const k740::AdvancedValues& values);
    void saveCaptured(const k740::DevicePacketFound& found);
    bool sendPacket(const QByteArray& packet, const QString& address, std::uint16_t port);
    void showRefusal(const k740::Refusal& refusal);

    std::unique_ptr<Ui::ACWPSettingWidget> ui;
    bool m_Refreshed = false;
    SettingData m_LastStatus{};
    std::vector<int> m_StatusValues;
    QByteArray m_Packet;
    QByteArray m_SendBuffer;
    QString m_LastAddress;
    std::uint32_t m_SensorAddress = 0;  // host order, from the last capture (0 = unknown)
    std::uint32_t m_NotedSensorAddress = 0;  // host order, from device packets (0 = none)
    // The adapter to search, or the message that names why there is none.
    k740::AdapterChoice chooseAdapter(QString* failure) const;
    std::unique_ptr<k740::DevicePacketSearchThread> m_Search;  // the running search, if any
    AfterSearch m_AfterSearch;  // empty once the result is to be dropped
    bool m_SearchRunning = false;
    bool m_WaitCursorShown = false;
    bool m_OkEnabledBeforeSearch = false;
    QString m_CaptureInterface;
    QString m_SensorFilter;
    QString m_GpsLogRoot;
    std::function<QString()> m_GpsWhyNot;
    std::function<long long()> m_GpsPacketsLogged;
    int m_GpsTestNumber = 0;  // counts started tests, so a late check knows its own
    QString m_LatestStamp;

    void endGpsTest();
    void checkGpsTestLogs(int testNumber);
    void showLatestStamp();
};
