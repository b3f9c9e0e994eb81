// The network and operating settings window: shows the sensor's status from the device
// information packets, refreshes the form from the last one and sends the configuration
// packet built by device/network_config to the sensor.
#pragma once

#include <QByteArray>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <vector>

#include "acquisition/metatypes.h"
#include "device/device_packet.h"
#include "device/network_config.h"

namespace Ui {
class InetactionSetupWidget;
}

class InetactionSetupWidget : public QWidget {
    Q_OBJECT
public:
    explicit InetactionSetupWidget(QWidget* parent = nullptr);
    ~InetactionSetupWidget() override;

    // The form, for the main window's wiring and for tests.
    Ui::InetactionSetupWidget* form() const { return ui.get(); }
    // The form's current contents as the packet builder takes them.
    k740::NetworkForm formValues() const;

    bool packetSeen() const { return m_PacketSeen; }
    bool refreshPending() const { return m_RefreshPending; }
    bool statusSeen() const { return m_StatusSeen; }
    bool newGeneration() const { return m_NewGeneration; }
    const k740::DevicePacket& devicePacket() const { return m_DevicePacket; }
    const QByteArray& lastSentPacket() const { return m_SendPacket; }

signals:
    void sVersionsToHelp(QStringList m_Versions);

public slots:
    void OnLidarStatusReceiving(SettingData data, std::vector<int> Mac);
    void OnLidarDifoData(QByteArray packet);
    void onRefreshCilcked();
    void onOK_Clicked();
    void onCancel_Clicked();
    bool isLegalSubNetMask();
    bool isLegalGateway();
    bool isLegalLidarIP();
    bool isLegalLocalIP();
    void onCleanUCWPControl();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool showCheck(const k740::CheckResult& result);
    bool send(const QByteArray& packet, const QString& address, QString* why);

    std::unique_ptr<Ui::InetactionSetupWidget> ui;
    QByteArray m_SendPacket;  // last configuration packet built
    k740::DevicePacket m_DevicePacket{};
    SettingData m_LastStatus{};
    int m_DataPort = 0;
    int m_DevicePort = 0;
    bool m_PacketSeen = false;
    bool m_RefreshPending = false;
    bool m_NewGeneration = true;
    bool m_StatusSeen = false;
    QString m_VersionText;
    bool m_Checking = false;  // a check's warning box is open (focus changes re-enter)
};
