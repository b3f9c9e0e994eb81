// Message boxes and file dialogs, or the installed handler that answers them instead.
#include "app/dialogs_seam.h"

#include <QFileDialog>

namespace k740 {

namespace {
Dialogs::Handler& handlerSlot() {
    static Dialogs::Handler handler;
    return handler;
}
}  // namespace

void Dialogs::setHandler(Handler handler) { handlerSlot() = std::move(handler); }

bool Dialogs::hasHandler() { return static_cast<bool>(handlerSlot()); }

QMessageBox::StandardButton Dialogs::message(Kind kind, QWidget* parent, const QString& title,
                                             const QString& text, QMessageBox::StandardButtons buttons) {
    if (handlerSlot()) {
        Request r;
        r.kind = kind;
        r.title = title;
        r.text = text;
        r.buttons = buttons;
        return handlerSlot()(r).button;
    }
    switch (kind) {
        case Kind::Warning:
            return QMessageBox::warning(parent, title, text, buttons);
        case Kind::Critical:
            return QMessageBox::critical(parent, title, text, buttons);
        case Kind::Question:
            return QMessageBox::question(parent, title, text, buttons);
        default:
            return QMessageBox::information(parent, title, text, buttons);
    }
}

QMessageBox::StandardButton Dialogs::warning(QWidget* parent, const QString& title, const QString& text,
                                             QMessageBox::StandardButtons buttons) {
    return message(Kind::Warning, parent, title, text, buttons);
}

QMessageBox::StandardButton Dialogs::information(QWidget* parent, const QString& title, const QString& text,
                                                 QMessageBox::StandardButtons buttons) {
    return message(Kind::Information, parent, title, text, buttons);
}

QMessageBox::StandardButton Dialogs::critical(QWidget* parent, const QString& title, const QString& text,
                                              QMessageBox::StandardButtons buttons) {
    return message(Kind::Critical, parent, title, text, buttons);
}

QMessageBox::StandardButton Dialogs::question(QWidget* parent, const QString& title, const QString& text,
                                              QMessageBox::StandardButtons buttons) {
    return message(Kind::Question, parent, title, text, buttons);
}

QString Dialogs::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) {
    if (handlerSlot()) {
        Request r;
        r.kind = Kind::OpenFile;
        r.title = caption;
        r.text = dir;
        r.filter = filter;
        return handlerSlot()(r).fileName;
    }
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString Dialogs::getSaveFileName(QWidget* parent, const QString& caption, const QString& fileName,
                                 const QString& filter) {
    if (handlerSlot()) {
        Request r;
        r.kind = Kind::SaveFile;
        r.title = caption;
        r.text = fileName;
        r.filter = filter;
        return handlerSlot()(r).fileName;
    }
    return QFileDialog::getSaveFileName(parent, caption, fileName, filter);
}

}  // namespace k740
