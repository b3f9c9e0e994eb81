// What the viewer remembers between runs: the live fields, the lists, the view's options, the
// data dock, the window's geometry, the recent capture files and the file dialogs' folders,
// in one settings file of the user's configuration folder. A stored value that is no longer
// valid is logged and left at its default, never applied.
#pragma once

#include <QString>
#include <QStringList>

#include "app/rules/viewer_comfort.h"

class QAbstractButton;
class QComboBox;
class QDockWidget;
class QLineEdit;
class QMainWindow;

namespace k740 {

class PaceRoom;
class PlaybackRoom;
class ViewRoom;

class SettingsMemory {
public:
    // The widgets whose values are remembered; the toggles are set through their buttons.
    struct Widgets {
        QLineEdit* dataPort = nullptr;
        QLineEdit* devicePort = nullptr;
        QLineEdit* group = nullptr;
        QComboBox* protocol = nullptr;
        QComboBox* model = nullptr;
        QComboBox* colourMode = nullptr;
        QComboBox* viewMode = nullptr;
        QAbstractButton* gridButton = nullptr;
        QAbstractButton* axesButton = nullptr;
        QAbstractButton* dockButton = nullptr;
        QDockWidget* dock = nullptr;
    };
    // The rooms with remembered state: the view (point size, grid, axes), playback (recent
    // files) and the pace ("Real time").
    struct Rooms {
        ViewRoom* view = nullptr;
        PlaybackRoom* playback = nullptr;
        PaceRoom* pace = nullptr;
    };

    // `file` empty: "k740/rv-k740-p.ini" in the user's configuration folder.
    SettingsMemory(QMainWindow& window, const Widgets& widgets, const Rooms& rooms,
                   const QString& file = QString());

    // Puts the stored values into the window. With liveFieldsChosen (the demo chooses its own
    // ports, group and protocol) those are neither applied nor, later, stored over.
    void restore(bool liveFieldsChosen);
    // Stores what the window shows now. False when the file could not be written.
    bool store();

    QString fileName() const { return m_File; }
    // Keys whose stored values were refused by the last restore().
    const QStringList& rejected() const { return m_Rejected; }

private:
    StoredSettings current() const;

    StoredSettingsLimits limits() const;

    QMainWindow& m_Window;
    Widgets m_W;
    Rooms m_Rooms;
    QString m_File;
    bool m_LiveFieldsChosen = false;
    StoredSettings m_Loaded;
    QStringList m_Rejected;
};

}  // namespace k740
