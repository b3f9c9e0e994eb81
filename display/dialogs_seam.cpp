// Message boxes and file dialogs, or the installed handler that answers them instead.
#include "display/dialogs_seam.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>

namespace k740 {

namespace {
Dialogs::Handler& handlerSlot() {
    static Dialogs::Handler handler;
    return handler;
}
}  // namespace

void Dialogs::setHandler(Handler handler) { handlerSlot() = std::move(handler); }

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

namespace {
// Asks the installed handler for a file name; false when none is installed.
bool answerFileRequest(Dialogs::Kind kind, const QString& caption, const QString& text, const QString& filter,
                       QString* fileName) {
    if (!handlerSlot()) return false;
    Dialogs::Request r;
    r.kind = kind;
    r.title = caption;
    r.text = text;
    r.filter = filter;
    *fileName = handlerSlot()(r).fileName;
    return true;
}
}  // namespace

namespace {
QVariantMap& folderSlot() {
    static QVariantMap folders;
    return folders;
}

// The proposed name in the folder last used for this caption, when it names no folder itself.
QString inLastFolder(const QString& caption, const QString& proposed) {
    const QString folder = folderSlot().value(caption).toString();
    if (folder.isEmpty() || QFileInfo(proposed).isAbsolute()) return proposed;
    return proposed.isEmpty() ? folder : QDir(folder).filePath(proposed);
}

QString remembered(const QString& caption, const QString& chosen) {
    if (!chosen.isEmpty()) folderSlot().insert(caption, QFileInfo(chosen).absolutePath());
    return chosen;
}
}  // namespace

QVariantMap Dialogs::lastFolders() { return folderSlot(); }

void Dialogs::setLastFolders(const QVariantMap& folders) { folderSlot() = folders; }

QString Dialogs::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) {
    QString name;
    const QString start = inLastFolder(caption, dir);
    if (answerFileRequest(Kind::OpenFile, caption, start, filter, &name)) return remembered(caption, name);
    return remembered(caption, QFileDialog::getOpenFileName(parent, caption, start, filter));
}

QString Dialogs::getSaveFileName(QWidget* parent, const QString& caption, const QString& fileName,
                                 const QString& filter) {
    QString name;
    const QString start = inLastFolder(caption, fileName);
    if (answerFileRequest(Kind::SaveFile, caption, start, filter, &name)) return remembered(caption, name);
    return remembered(caption, QFileDialog::getSaveFileName(parent, caption, start, filter));
}

bool Dialogs::getFrameRange(QWidget* parent, const QString& title, const QString& text, int maximum,
                            int* first, int* last) {
    if (handlerSlot()) {
        Request r;
        r.kind = Kind::FrameRange;
        r.title = title;
        r.text = text;
        r.buttons = QMessageBox::Ok | QMessageBox::Cancel;
        r.first = *first;
        r.last = *last;
        r.maximum = maximum;
        const Answer a = handlerSlot()(r);
        if (a.button != QMessageBox::Ok) return false;
        *first = a.first;
        *last = a.last;
        return true;
    }
    QDialog dialog(parent);
    dialog.setWindowTitle(title);
    auto* form = new QFormLayout(&dialog);
    form->addRow(new QLabel(text, &dialog));
    auto* from = new QSpinBox(&dialog);
    auto* to = new QSpinBox(&dialog);
    for (QSpinBox* box : {from, to}) box->setRange(0, maximum);
    from->setValue(*first);
    to->setValue(*last);
    form->addRow(QStringLiteral("First frame:"), from);
    form->addRow(QStringLiteral("Last frame:"), to);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return false;
    *first = from->value();
    *last = to->value();
    return true;
}

}  // namespace k740
