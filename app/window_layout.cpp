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

namespace k740 {

void layOutMainWindow(QMainWindow* window, const MainWindowLayout& form) {
    // Above the dock: the tabs get the window's whole width, not what the dock leaves.
    window->setMenuWidget(form.tabs);

    // The widest text each field has to show.
    keepWhole(form.dataPort, QStringLiteral("65535"));
    keepWhole(form.devicePort, QStringLiteral("65535"));
    keepWhole(form.group, QStringLiteral("239.255.255.255"));
    keepWhole(form.displayAngle, QStringLiteral("180.00"));
    for (QWidget* tab : form.pages) {
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
