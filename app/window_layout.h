// The main window's layout: the tab row spans the window's whole width above the 3-D view and
// the data dock, and every field, combo box, label and button of the tabs keeps its whole
// text, down to a 1024 x 700 window with the dock shown. Run once every room has put its
// widgets into the tabs.
#pragma once

#include <vector>

class QLineEdit;
class QMainWindow;
class QWidget;

namespace k740 {

struct MainWindowLayout {
    QWidget* tabs = nullptr;  // the tab row
    QLineEdit* dataPort = nullptr;
    QLineEdit* devicePort = nullptr;
    QLineEdit* group = nullptr;
    QLineEdit* displayAngle = nullptr;
    std::vector<QWidget*> pages;  // the tabs' pages
};

void layOutMainWindow(QMainWindow* window, const MainWindowLayout& form);

}  // namespace k740
