// Minimum widths for whole texts (see whole_text.h).
#include "display/whole_text.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

namespace k740 {

int lineEditWidthFor(const QLineEdit* edit, const QString& widest) {
    const QFontMetrics fm(edit->font());
    // As the line edit measures itself (QLineEdit::sizeHint): text, text margins, the
    // widget's inner margin of 2 a side and the style's frame.
    const QMargins tm = edit->textMargins();
    const int text = std::max(fm.horizontalAdvance(widest), fm.horizontalAdvance(edit->text()));
    const int w = text + 2 * 2 + tm.left() + tm.right() + 4;  // + the cursor's room
    const int h = fm.height() + tm.top() + tm.bottom();
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->contentsRect();
    option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    option.features = QStyleOptionFrame::None;
    return edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(w, h), edit).width();
}

void keepWhole(QLineEdit* edit, const QString& widest) {
    edit->setMinimumWidth(std::max(edit->minimumWidth(), lineEditWidthFor(edit, widest)));
    // A maximum narrower than the text would cut it all the same.
    if (edit->maximumWidth() < edit->minimumWidth()) edit->setMaximumWidth(edit->minimumWidth());
}

void keepWhole(QComboBox* combo) {
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    combo->setMinimumWidth(std::max(combo->minimumWidth(), combo->sizeHint().width()));
}

void keepWhole(QWidget* widget) {
    widget->setMinimumWidth(std::max(widget->minimumWidth(), widget->sizeHint().width()));
}

}  // namespace k740
