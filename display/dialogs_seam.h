// The one place where the program asks the operator something: message boxes, file dialogs
// and the choice of a range of frames. Normally the real boxes are shown; a test installs a handler that records each
// request and answers it, so nothing blocks.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QVariantMap>
#include <functional>

namespace k740 {

class Dialogs {
public:
    enum class Kind { Warning, Information, Question, Critical, OpenFile, SaveFile, FrameRange };

    struct Request {
        Kind kind = Kind::Information;
        QString title;   // window title (file dialogs: the caption)
        QString text;    // message text (file dialogs: the proposed directory or file name)
        QString filter;  // file dialogs only
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        int first = 0, last = 0, maximum = 0;  // frame range: proposed, and the highest frame
    };

    struct Answer {
        QMessageBox::StandardButton button = QMessageBox::Ok;
        QString fileName;  // empty = cancelled
        int first = 0, last = 0;  // frame range: chosen, when the button is Ok
    };

    using Handler = std::function<Answer(const Request&)>;

    // An empty handler brings the real dialogs back.
    static void setHandler(Handler handler);

    static QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text,
                                               QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    static QMessageBox::StandardButton information(QWidget* parent, const QString& title, const QString& text,
                                                   QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    static QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    static QMessageBox::StandardButton question(
        QWidget* parent, const QString& title, const QString& text,
        QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No);

    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter);
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& fileName,
                                   const QString& filter);

    // Two frame numbers from 0 to `maximum`, proposed as *first and *last; false when the
    // operator cancels (they are then untouched).
    static bool getFrameRange(QWidget* parent, const QString& title, const QString& text, int maximum,
                              int* first, int* last);

    // The folder each file dialog (by caption) was last answered in: a dialog proposing no
    // folder of its own starts there. Kept between runs by the window's settings.
    static QVariantMap lastFolders();
    static void setLastFolders(const QVariantMap& folders);

private:
    static QMessageBox::StandardButton message(Kind kind, QWidget* parent, const QString& title,
                                               const QString& text, QMessageBox::StandardButtons buttons);
};

}  // namespace k740
