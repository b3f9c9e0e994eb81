// The vertical angle calibration window: per table row the angle the sensor reports beside
// the angle to be written, checked against the channel's nominal angle and sent as the
// vertical angle packet (device/vertical_angles) built on the last device information packet.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "acquisition/metatypes.h"
#include "device/device_packet.h"
#include "device/vertical_angles.h"

namespace Ui {
class VerticalAngleSetting;
}
class QStandardItemModel;
class CodeDialog;

class VerticalAngleSetting : public QWidget {
    Q_OBJECT
public:
    explicit VerticalAngleSetting(QWidget* parent = nullptr);
    ~VerticalAngleSetting() override;

    Ui::VerticalAngleSetting* form() const { return ui.get(); }
    QStandardItemModel* model() const { return m_Model; }
    CodeDialog* codeDialog() const { return m_CodeDialog; }
    bool hasTemplate() const { return m_HasTemplate; }
    int degreeMode() const { return m_DegreeMode; }
    const QByteArray& lastSentPacket() const { return m_SendBuffer; }
    // Texts of a row's "ReView Angle" and "Set Angle" cells.
    QString reViewText(int row) const;
    QString setAngleText(int row) const;
    // The "Set Angle" cell of a channel's row, as the operator types it.
    void typeSetAngle(int channel, const QString& text);

signals:
    void getVerticalAngle();

public slots:
    void onLidarStatusReceiving_(SettingData data, std::vector<int> Mac);
    void OnLidarDifoData_(QByteArray data);
    void addDataRecord(int channel, QString reView, QString setData);
    void reViewData(int channel, float data);
    void preSetAngleData(int channel, float data);
    void setDegreeMode(int mode);
    void showAngleMistake(int channel);
    void reflushLidarStatus();
    void SendPacketToLidar();
    void sendDataTolidar();
    bool SendPacketDataToLidar(const QByteArray& packet, const QString& ip_data, quint16 portdata,
                               QString* why);
    void onCodeData(QString code);

protected:
    // A window the operator closed shows no read-back box later: the pending read-back ends.
    void hideEvent(QHideEvent* event) override;

private:
    void initView();
    void setCell(int row, int column, const QString& text);
    QString cellText(int row, int column) const;

    std::unique_ptr<Ui::VerticalAngleSetting> ui;
    QStandardItemModel* m_Model = nullptr;
    SettingData m_LastStatus{};
    std::vector<int> m_StatusValues;
    k740::DevicePacket m_Template{};
    bool m_HasTemplate = false;
    QByteArray m_SendBuffer;  // last packet sent
    int m_DegreeMode = 0;
    CodeDialog* m_CodeDialog = nullptr;
    // After a write, the first device packet that arrives this long after it is read back:
    // the sensor has applied the new angles by then.
    bool m_ReadBackPending = false;
    QElapsedTimer m_SinceWrite;
};
