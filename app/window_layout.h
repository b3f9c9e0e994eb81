// The main window's layout: the tab row spans the window's whole width above the 3-D view and
// the data dock, and every field, combo box, label and button of the tabs keeps its whole
// text, down to a 1024 x 700 window with the dock shown. Run once every room has put its
// widgets into the tabs.
#pragma once

class QMainWindow;
namespace Ui {
class manwindowClass;
}

namespace k740 {

void layOutMainWindow(QMainWindow* window, Ui::manwindowClass* form);

}  // namespace k740
