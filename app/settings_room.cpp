// Wiring of the settings and About windows.
#include "app/settings_room.h"

#include <QAbstractButton>

#include "acquisition/GetlidarData_1.h"
#include "app/About.h"
#include "device/GetSet.h"
#include "device/InetactionSetupWidget.h"

namespace k740 {

SettingsRoom::SettingsRoom(QAbstractButton* settingsButton, QAbstractButton* aboutButton,
                           GetlidarData_1* receiver, GetSet* statusReceiver, QObject* parent)
    : QObject(parent), m_Settings(new InetactionSetupWidget()), m_About(new About()) {
    // Neither window keeps the program running once the main window has closed.
    m_Settings->setAttribute(Qt::WA_QuitOnClose, false);
    m_About->setAttribute(Qt::WA_QuitOnClose, false);
    // Showing the window empties the fields a Refresh fills, so stale values are never sent.
    connect(settingsButton, &QAbstractButton::clicked, m_Settings, &QWidget::show);
    connect(settingsButton, &QAbstractButton::clicked, m_Settings,
            &InetactionSetupWidget::onCleanUCWPControl);
    connect(aboutButton, &QAbstractButton::clicked, m_About, &QWidget::show);
    connect(m_Settings, &InetactionSetupWidget::sVersionsToHelp, m_About, &About::sSetVersion);

    // Both receivers deliver device information packets (the live receiver sees them on the
    // data port): queued, one connection each.
    connect(statusReceiver, &GetSet::SendLidarStatusToSettingUI, m_Settings,
            &InetactionSetupWidget::OnLidarStatusReceiving, Qt::UniqueConnection);
    connect(statusReceiver, &GetSet::SendDataDifo, m_Settings,
            &InetactionSetupWidget::OnLidarDifoData, Qt::UniqueConnection);
    connect(receiver, &GetlidarData_1::SendLidarStatusToSettingUI, m_Settings,
            &InetactionSetupWidget::OnLidarStatusReceiving, Qt::UniqueConnection);
    connect(receiver, &GetlidarData_1::SendDataDifo, m_Settings,
            &InetactionSetupWidget::OnLidarDifoData, Qt::UniqueConnection);
}

SettingsRoom::~SettingsRoom() {
    delete m_Settings;
    delete m_About;
}

}  // namespace k740
