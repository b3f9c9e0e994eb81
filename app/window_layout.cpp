// The main window's layout (see window_layout.h).
#include "app/window_layout.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QSpinBox>
#include <QToolButton>

#include "display/whole_text.h"
#include "ui_manwindow.h"

namespace k740 {

void layOutMainWindow(QMainWindow* window, Ui::manwindowClass* form) {
    // Above the dock: the tabs get the window's whole width, not what the dock leaves.
    window->setMenuWidget(form->tabWidget);

    // The widest text each field has to show.
    keepWhole(form->lineEdit_portNumber, QStringLiteral("65535"));
    keepWhole(form->lineEdit, QStringLiteral("65535"));
    keepWhole(form->lineEdit_2, QStringLiteral("239.255.255.255"));
    keepWhole(form->showAngle_lineEdit, QStringLiteral("180.00"));
    for (QWidget* tab : {form->Tab_1, form->Tab_4, form->Tab_3, form->Tab_5}) {
        for (QComboBox* combo : tab->findChildren<QComboBox*>()) keepWhole(combo);
        for (QAbstractButton* button : tab->findChildren<QAbstractButton*>()) {
            // A tool button as wide as its icon or label asks, no wider: the rows are full.
            if (qobject_cast<QToolButton*>(button)) button->setMinimumWidth(0);
            keepWhole(button);
        }
        for (QLabel* label : tab->findChildren<QLabel*>()) keepWhole(label);
        for (QSpinBox* spin : tab->findChildren<QSpinBox*>()) keepWhole(spin);
    }
}

}  // namespace k740
