// The viewer's remembered settings (see settings_memory.h).
#include "app/settings_memory.h"

#include <QComboBox>
#include <QDockWidget>
#include <QAbstractButton>
#include <QLineEdit>
#include <QMainWindow>
#include <QSettings>
#include <QtDebug>

#include "display/dialogs_seam.h"
#include "app/pace_room.h"
#include "app/playback_room.h"
#include "app/view_room.h"

namespace k740 {

namespace {
QString defaultFile() {
    const QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("k740"),
                      QStringLiteral("rv-k740-p"));
    return s.fileName();
}
}  // namespace

SettingsMemory::SettingsMemory(QMainWindow& window, const Widgets& widgets, const Rooms& rooms,
                               const QString& file)
    : m_Window(window), m_W(widgets), m_Rooms(rooms), m_File(file.isEmpty() ? defaultFile() : file) {}

StoredSettingsLimits SettingsMemory::limits() const {
    return StoredSettingsLimits{m_W.protocol->count(), m_W.model->count(), m_W.colourMode->count(),
                                m_W.viewMode->count()};
}

void SettingsMemory::restore(bool liveFieldsChosen) {
    m_LiveFieldsChosen = liveFieldsChosen;
    const QSettings settings(m_File, QSettings::IniFormat);
    m_Rejected.clear();
    m_Loaded = readStoredSettings([&](const QString& key) { return settings.value(key); }, limits(),
                                  &m_Rejected);
    for (const QString& key : m_Rejected)
        qWarning().noquote() << "rv-k740-p: the stored setting" << key << "in" << m_File
                             << "is not valid; its default stays";
    const StoredSettings& s = m_Loaded;
    if (!liveFieldsChosen) {
        m_W.dataPort->setText(s.dataPort);
        m_W.devicePort->setText(s.devicePort);
        m_W.group->setText(s.group);
        m_W.protocol->setCurrentIndex(s.protocol);
    }
    m_W.model->setCurrentIndex(s.model);
    m_W.colourMode->setCurrentIndex(s.colourMode);
    m_W.viewMode->setCurrentIndex(s.viewMode);
    m_Rooms.view->setPointSize(s.pointSize);
    // The toggles go through their buttons, so the window's state follows as on a click.
    if (s.grid == m_Rooms.view->gridHidden()) m_W.gridButton->click();
    if (s.axes != m_Rooms.view->axesShown()) m_W.axesButton->click();
    if (s.dock == m_W.dock->isHidden()) m_W.dockButton->click();
    if (!s.geometry.isEmpty()) m_Window.restoreGeometry(s.geometry);
    if (!s.windowState.isEmpty()) m_Window.restoreState(s.windowState);
    m_Rooms.playback->setRecentFiles(s.recentFiles);
    m_Rooms.pace->setRealTime(s.realTime);
    Dialogs::setLastFolders(s.lastFolders);
}

StoredSettings SettingsMemory::current() const {
    StoredSettings s;
    s.dataPort = m_W.dataPort->text().trimmed();
    s.devicePort = m_W.devicePort->text().trimmed();
    s.group = m_W.group->text().trimmed();
    s.protocol = m_W.protocol->currentIndex();
    if (m_LiveFieldsChosen) {
        // Chosen for this run only: what was stored stays.
        s.dataPort = m_Loaded.dataPort;
        s.devicePort = m_Loaded.devicePort;
        s.group = m_Loaded.group;
        s.protocol = m_Loaded.protocol;
    }
    s.model = m_W.model->currentIndex();
    s.colourMode = m_W.colourMode->currentIndex();
    s.viewMode = m_W.viewMode->currentIndex();
    s.pointSize = m_Rooms.view->pointSize();
    s.grid = !m_Rooms.view->gridHidden();
    s.axes = m_Rooms.view->axesShown();
    s.dock = !m_W.dock->isHidden();
    s.geometry = m_Window.saveGeometry();
    s.windowState = m_Window.saveState();
    s.recentFiles = m_Rooms.playback->recentFiles();
    s.realTime = m_Rooms.pace->realTime();
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
        limits(),
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
