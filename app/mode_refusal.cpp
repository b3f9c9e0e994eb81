// Refusals of the mode table shown through the dialog seam.
#include "app/mode_refusal.h"

#include "display/dialogs_seam.h"

namespace k740 {

bool allowedNow(QWidget* dialogParent, const WindowState& state, WindowAction action) {
    const Verdict verdict = mayRun(state, action);
    if (verdict.allowed) return true;
    switch (verdict.box) {
        case Verdict::Box::Warning:
            Dialogs::warning(dialogParent, verdict.title, verdict.text);
            break;
        case Verdict::Box::Information:
            Dialogs::information(dialogParent, verdict.title, verdict.text);
            break;
        case Verdict::Box::None:
            break;
    }
    return false;
}

}  // namespace k740
