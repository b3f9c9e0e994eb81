// The CSV export of the main window.
#include "app/export_room.h"

#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include "app/dialogs_seam.h"
#include "export/SaveDataOptions.h"

namespace k740 {

namespace {
const QString kWarn = QStringLiteral("warn");
const QString kError = QStringLiteral("error");
}  // namespace

ExportRoom::ExportRoom(QWidget* window, QProgressBar* bar, QLabel* label)
    : QObject(window), window_(window), bar_(bar), label_(label), options_(new SaveDataOptions()) {
    options_->setWindowModality(Qt::ApplicationModal);
}

ExportRoom::~ExportRoom() {
    // A window closed during an export keeps the rows written so far.
    if (file_) file_->close();
}

void ExportRoom::showOptions(bool liveRunning) {
    if (!liveRunning) {
        Dialogs::information(window_, kWarn, QStringLiteral("Please connect the lidar first"));
        return;
    }
    options_->show();
}

void ExportRoom::receiveOptions(bool isSave, int freams, float angleMin, float angleMax,
                                const QList<int>& lines, const FrameSettings& settings,
                                bool displayPaused, const LidarDataSingleLine& lastFrame) {
    saveRequested_ = isSave;
    if (!isSave) return;  // a running export goes on as it was

    const QString path =
        Dialogs::getSaveFileName(window_, QStringLiteral("Save CSV"),
                                 defaultCsvFileName(QDateTime::currentDateTime()), QString());
    if (path.isEmpty()) return;

    // A file that cannot be opened leaves a running export as it was; one that opens replaces
    // it (the rows that one wrote stay in its file). The same file again is closed first, so
    // that its buffered rows cannot land in the new export.
    const std::string name = QFile::encodeName(path).toStdString();
    if (file_ && file_->path() == name) closeAndCheck(false);
    std::unique_ptr<CsvExportFile> file = openFile(path);
    if (!file) return;
    if (file_) closeAndCheck(false);
    file_ = std::move(file);

    angleMin_ = angleMin;
    angleMax_ = angleMax;
    lines_ = lines;
    counter_.start(freams);
    bar_->setValue(0);
    showProgress(true);
    framesLost_ = 0;
    droppedAtStart_ = liveLink_.framesDropped ? liveLink_.framesDropped() : 0;

    if (displayPaused) {
        // The display stands still: the stored frame is the export, at once.
        CsvExportOptions o;
        o.protocol = settings.protocol;
        o.viewMode = settings.viewMode;
        o.angleMin = angleMin_;
        o.angleMax = angleMax_;
        o.wholeCm = CsvWholeCm::AddHalfThenTruncate;
        file_->writeFrame(lastFrame, 1, o);
        counter_.stop();
        closeAndCheck(false);
        showProgress(false);
        return;
    }
    setExporting(true);
}

void ExportRoom::setExporting(bool exporting) {
    if (liveLink_.setExporting) liveLink_.setExporting(exporting);
}

std::unique_ptr<CsvExportFile> ExportRoom::openFile(const QString& path) {
    auto file = std::make_unique<CsvExportFile>();
    // The file name in the encoding of the file system (on Windows builds, the ANSI code page).
    if (file->open(QFile::encodeName(path).toStdString())) return file;
    Dialogs::critical(window_, kError,
                      QStringLiteral("The CSV file cannot be opened for writing:\n%1\n%2")
                          .arg(path, QString::fromLocal8Bit(file->error().c_str())));
    return nullptr;
}

bool ExportRoom::exportFrame(const LidarDataSingleLine& frame, const FrameSettings& settings) {
    // A frame arriving while this one is being written (there is no event processing here, so
    // only through a nested event loop elsewhere) is left out rather than written into the
    // middle of this one.
    if (!saving() || inPass_) return false;
    inPass_ = true;
    const CsvExportCounter::Step step = counter_.next();
    bar_->setValue(step.percent);
    bar_->repaint();  // paints now, without dispatching queued frames into this slot

    CsvExportOptions o;
    o.protocol = settings.protocol;
    o.viewMode = settings.viewMode;
    o.angleMin = angleMin_;
    o.angleMax = angleMax_;
    file_->writeFrame(frame, step.frameId, o);

    if (!file_->good()) {
        // A full disk: stop at once and say so.
        endExport();
    } else if (step.last) {
        endExport();
    }
    inPass_ = false;
    return true;
}

void ExportRoom::endExport() {
    counter_.stop();
    setExporting(false);
    if (liveLink_.framesDropped) framesLost_ = liveLink_.framesDropped() - droppedAtStart_;
    // Inside the frame slot: the messages wait until it has returned.
    if (closeAndCheck(true)) {
        emit exportFinished();
    } else {
        showProgress(false);
    }
}

bool ExportRoom::closeAndCheck(bool deferMessage) {
    if (!file_) return true;
    std::unique_ptr<CsvExportFile> file = std::move(file_);
    const std::string path = file->path();
    if (file->close()) return true;
    const QString text =
        QStringLiteral("The CSV file was not saved completely:\n%1\n%2")
            .arg(QFile::decodeName(path.c_str()), QString::fromLocal8Bit(file->error().c_str()));
    if (deferMessage)
        QMetaObject::invokeMethod(
            this, [this, text] { Dialogs::critical(window_, kError, text); }, Qt::QueuedConnection);
    else
        Dialogs::critical(window_, kError, text);
    return false;
}

void ExportRoom::reportSaved() {
    if (framesLost_ > 0)
        Dialogs::warning(window_, kWarn,
                         QStringLiteral("The CSV file is saved, but %1 revolutions of the sensor "
                                        "could not be written (the window fell behind): the "
                                        "file's frames are not consecutive.")
                             .arg(framesLost_));
    else
        Dialogs::information(window_, kWarn, QStringLiteral("The CSV file is saved successfully"));
    showProgress(false);
}

void ExportRoom::showProgress(bool shown) {
    label_->setVisible(shown);
    bar_->setVisible(shown);
}

}  // namespace k740
