// Asking the mode table before an action runs, and telling the operator when it may not:
// the one path from a refusal of the table to a message box (through the dialog seam).
#pragma once

#include "app/rules/window_mode.h"

class QWidget;

namespace k740 {

// True when the action may run in this state; otherwise shows the table's box, if it names
// one, and returns false (the caller then changes nothing).
bool allowedNow(QWidget* dialogParent, const WindowState& state, WindowAction action);

}  // namespace k740
