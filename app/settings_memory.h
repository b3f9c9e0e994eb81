// What the viewer remembers between runs: the live fields, the lists, the view's options, the
// data dock, the window's geometry, the recent capture files and the file dialogs' folders,
// in one settings file of the user's configuration folder. A stored value that is no longer
// valid is logged and left at its default, never applied.
#pragma once

#include <QString>
#include <QStringList>

#include "app/rules/viewer_comfort.h"

class manwindow;

namespace k740 {

class SettingsMemory {
public:
    // `file` empty: "k740/rv-k740-p.ini" in the user's configuration folder.
    explicit SettingsMemory(manwindow& window, const QString& file = QString());

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

    manwindow& m_Window;
    QString m_File;
    bool m_LiveFieldsChosen = false;
    StoredSettings m_Loaded;
    QStringList m_Rejected;
};

}  // namespace k740
