// The settings room of the main window: the network settings window and the About window,
// created once, fed by both receivers and shown from the "Parameter" and "About" buttons.
#pragma once

#include <QObject>

class QAbstractButton;
class GetlidarData_1;
class GetSet;
class InetactionSetupWidget;
class About;

namespace k740 {

class SettingsRoom : public QObject {
    Q_OBJECT
public:
    // settingsButton ("Parameter") shows the settings window, aboutButton ("About") the About
    // window.
    SettingsRoom(QAbstractButton* settingsButton, QAbstractButton* aboutButton,
                 GetlidarData_1* receiver, GetSet* statusReceiver, QObject* parent = nullptr);
    ~SettingsRoom() override;

    InetactionSetupWidget* settingsDialog() const { return m_Settings; }
    About* aboutDialog() const { return m_About; }

private:
    // Top-level windows without parent, living as long as the main window.
    InetactionSetupWidget* m_Settings = nullptr;
    About* m_About = nullptr;
};

}  // namespace k740
