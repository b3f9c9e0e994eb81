// The service room of the main window: the functions kept for the maker's service staff.
// Ctrl+Alt+S (or the --service start-up) opens the access-code dialog; the right code shows,
// for the rest of the session, the advanced settings button, channel selection, echo mode,
// the display angle field, the view-mode resend button and the "Vertical Angle Setting"
// button that opens the vertical angle calibration window.
#pragma once

#include <QObject>
#include <QString>

class manwindow;
class QAbstractButton;
class QBoxLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class GetlidarData_1;
class GetSet;
class CodeDialog;
class Form_QLaserSelection;
class VerticalAngleSetting;
class ACWPSettingWidget;
class QPushButton;

namespace k740 {

extern const char* const kTextWrongServiceCode;

class ServiceRoom : public QObject {
    Q_OBJECT
public:
    // The form's widgets the room shows once unlocked and the buttons that open its windows.
    struct Widgets {
        QWidget* page = nullptr;                   // the K740-P tab's page
        QBoxLayout* viewModeRow = nullptr;         // the row of the view-mode button
        QAbstractButton* resendViewMode = nullptr;  // setVerticalPushButton
        QAbstractButton* channels = nullptr;       // Btn_Channel
        QAbstractButton* advanced = nullptr;       // Btn_ACWPSetting
        QComboBox* echo = nullptr;                 // CBox_Echo
        QLabel* angleLabel = nullptr;              // "显示角度：±"
        QLineEdit* angleField = nullptr;           // showAngle_lineEdit
    };

    ServiceRoom(manwindow* window, const Widgets& widgets, GetlidarData_1* receiver,
                GetSet* statusReceiver, QObject* parent = nullptr);
    ~ServiceRoom() override;

    CodeDialog* codeDialog() const { return m_CodeDialog; }
    Form_QLaserSelection* channelDialog() const { return m_Channels; }
    VerticalAngleSetting* verticalAngleDialog() const { return m_VerticalAngles; }
    ACWPSettingWidget* advancedDialog() const { return m_Advanced; }
    // The "Vertical Angle Setting" button in the K740-P tab.
    QPushButton* verticalAngleButton() const { return m_VerticalAngleButton; }
    bool unlocked() const { return m_Unlocked; }

    // Shows the access-code dialog (Ctrl+Alt+S, --service).
    void askForCode();
    // A code typed into the dialog: the right one unlocks, a wrong one is told off, an empty
    // one changes nothing.
    void onCodeData(const QString& code);

private:
    void unlock();

    manwindow* m_Window;
    Widgets m_W;
    // Top-level windows without parent, living as long as the main window.
    CodeDialog* m_CodeDialog = nullptr;
    Form_QLaserSelection* m_Channels = nullptr;
    VerticalAngleSetting* m_VerticalAngles = nullptr;
    ACWPSettingWidget* m_Advanced = nullptr;
    QPushButton* m_VerticalAngleButton = nullptr;  // in the form, owned by it
    bool m_Unlocked = false;
};

}  // namespace k740
