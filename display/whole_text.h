// Minimum widths that keep a widget's text whole: a layout short of room squeezes a line edit
// or a combo box below its text ("368" for "2368") before anything else, because their own
// minimum sizes are a few characters. Each window states the widest text its fields must show.
#pragma once

#include <QString>

class QComboBox;
class QLineEdit;
class QWidget;

namespace k740 {

// The width a line edit needs to show `widest` whole, with its frame and margins.
int lineEditWidthFor(const QLineEdit* edit, const QString& widest);

// The field keeps room for `widest` (and for its current text, when that is wider).
void keepWhole(QLineEdit* edit, const QString& widest);
// The combo keeps room for its longest item with its icon.
void keepWhole(QComboBox* combo);
// Any other widget keeps the width its text asks for (labels, buttons, check boxes).
void keepWhole(QWidget* widget);

}  // namespace k740
