// The viewer's remembered settings (see settings_memory.h).
#include "app/settings_memory.h"

#include <QComboBox>
#include <QDockWidget>
#include <QLineEdit>
#include <QSettings>
#include <QToolButton>
#include <QtDebug>

#include "display/dialogs_seam.h"
#include "app/manwindow.h"
#include "app/pace_room.h"
#include "app/playback_room.h"
#include "app/view_room.h"
#include "ui_manwindow.h"

namespace k740 {

namespace {
QString defaultFile() {
    const QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("k740"),
                      QStringLiteral("rv-k740-p"));
    return s.fileName();
}
}  // namespace

SettingsMemory::SettingsMemory(manwindow& window, const QString& file)
    : m_Window(window), m_File(file.isEmpty() ? defaultFile() : file) {}

void SettingsMemory::restore(bool liveFieldsChosen) {
    m_LiveFieldsChosen = liveFieldsChosen;
    const QSettings settings(m_File, QSettings::IniFormat);
    Ui::manwindowClass* ui = m_Window.form();
    StoredSettingsLimits limits;
    limits.protocols = ui->comboBox_agree->count();
    limits.models = ui->comboBoxLidarModel->count();
    limits.colourModes = ui->comboBox_4->count();
    limits.viewModes = ui->comboBox_degree->count();
    m_Rejected.clear();
    m_Loaded = readStoredSettings([&](const QString& key) { return settings.value(key); }, limits,
                                  &m_Rejected);
    for (const QString& key : m_Rejected)
        qWarning().noquote() << "rv-k740-p: the stored setting" << key << "in" << m_File
                             << "is not valid; its default stays";
    const StoredSettings& s = m_Loaded;
    if (!liveFieldsChosen) {
        ui->lineEdit_portNumber->setText(s.dataPort);
        ui->lineEdit->setText(s.devicePort);
        ui->lineEdit_2->setText(s.group);
        ui->comboBox_agree->setCurrentIndex(s.protocol);
    }
    ui->comboBoxLidarModel->setCurrentIndex(s.model);
    ui->comboBox_4->setCurrentIndex(s.colourMode);
    ui->comboBox_degree->setCurrentIndex(s.viewMode);
    m_Window.viewRoom()->setPointSize(s.pointSize);
    // The toggles go through their buttons, so the window's state follows as on a click.
    if (s.grid == m_Window.gridHidden()) ui->toolButton_MeaGrid->click();
    if (s.axes != m_Window.axesShown()) ui->toolButton_Coor->click();
    if (s.dock == ui->LidraDataDock->isHidden()) ui->tolbtn_LidarDataList->click();
    if (!s.geometry.isEmpty()) m_Window.restoreGeometry(s.geometry);
    if (!s.windowState.isEmpty()) m_Window.restoreState(s.windowState);
    m_Window.playback()->setRecentFiles(s.recentFiles);
    m_Window.paceRoom()->setRealTime(s.realTime);
    Dialogs::setLastFolders(s.lastFolders);
}

StoredSettings SettingsMemory::current() const {
    Ui::manwindowClass* ui = m_Window.form();
    StoredSettings s;
    s.dataPort = ui->lineEdit_portNumber->text().trimmed();
    s.devicePort = ui->lineEdit->text().trimmed();
    s.group = ui->lineEdit_2->text().trimmed();
    s.protocol = ui->comboBox_agree->currentIndex();
    if (m_LiveFieldsChosen) {
        // Chosen for this run only: what was stored stays.
        s.dataPort = m_Loaded.dataPort;
        s.devicePort = m_Loaded.devicePort;
        s.group = m_Loaded.group;
        s.protocol = m_Loaded.protocol;
    }
    s.model = ui->comboBoxLidarModel->currentIndex();
    s.colourMode = ui->comboBox_4->currentIndex();
    s.viewMode = ui->comboBox_degree->currentIndex();
    s.pointSize = m_Window.pointSize();
    s.grid = !m_Window.gridHidden();
    s.axes = m_Window.axesShown();
    s.dock = !ui->LidraDataDock->isHidden();
    s.geometry = m_Window.saveGeometry();
    s.windowState = m_Window.saveState();
    s.recentFiles = m_Window.playback()->recentFiles();
    s.realTime = m_Window.paceRoom()->realTime();
    s.lastFolders = Dialogs::lastFolders();
    return s;
}

bool SettingsMemory::store() {
    QSettings settings(m_File, QSettings::IniFormat);
    // Values typed into the live fields that are no valid port or group are not kept: the
    // next run would only refuse them.
    StoredSettings s = current();
    QStringList invalid;
    const StoredSettings checked = readStoredSettings(
        [&](const QString& key) { return storedSettingsValues(s).value(key); },
        StoredSettingsLimits{m_Window.form()->comboBox_agree->count(),
                             m_Window.form()->comboBoxLidarModel->count(),
                             m_Window.form()->comboBox_4->count(),
                             m_Window.form()->comboBox_degree->count()},
        &invalid);
    const QVariantMap values = storedSettingsValues(checked);
    for (auto it = values.begin(); it != values.end(); ++it) settings.setValue(it.key(), it.value());
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        qWarning().noquote() << "rv-k740-p: the settings could not be written to" << m_File;
        return false;
    }
    return true;
}

}  // namespace k740
