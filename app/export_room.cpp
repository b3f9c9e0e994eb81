// The CSV and LAS export of the main window.
#include "app/export_room.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>
#include <cstdio>

#include "display/dialogs_seam.h"
#include "export/SaveDataOptions.h"
#include "export/las_export_file.h"
#include "export/incomplete_export.h"

namespace k740 {

namespace {
const QString kWarn = QStringLiteral("warn");
const QString kError = QStringLiteral("error");

QString formatName(ExportFormat format) {
    return format == ExportFormat::Las ? QStringLiteral("LAS") : QStringLiteral("CSV");
}

// The program and its version, for the LAS header.
std::string generatingSoftware() {
    return (QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion())
        .trimmed()
        .toStdString();
}

std::unique_ptr<FrameExportFile> makeExportFile(ExportFormat format) {
    if (format == ExportFormat::Las) return std::make_unique<LasExportFile>(generatingSoftware());
    return std::make_unique<CsvExportFile>();
}
}  // namespace

ExportRoom::ExportRoom(QWidget* window, QProgressBar* bar, QLabel* label)
    : QObject(window), m_Window(window), m_Bar(bar), m_Label(label), m_Options(new SaveDataOptions()) {
    m_Options->setWindowModality(Qt::ApplicationModal);
    // An open options window does not keep the program running once the main window closes.
    m_Options->setAttribute(Qt::WA_QuitOnClose, false);
}

ExportRoom::~ExportRoom() {
    // A window closed during an export keeps the rows handed over so far: each writer writes
    // its queue, closes its file and ends (without a report) as it is destroyed.
    m_Writer.reset();
    m_Closing.clear();
}

void ExportRoom::showOptions(bool liveRunning) {
    if (!liveRunning) {
        Dialogs::information(m_Window, kWarn, QStringLiteral("Please connect the lidar first"));
        return;
    }
    m_Options->show();
}

void ExportRoom::receiveOptions(bool isSave, int freams, float angleMin, float angleMax,
                                const QList<int>& lines, const FrameSettings& settings,
                                bool displayPaused, const LidarDataSingleLine& lastFrame) {
    m_SaveRequested = isSave;
    if (!isSave) return;  // a running export goes on as it was

    const ExportFormat format = m_Options->format();
    const bool las = format == ExportFormat::Las;
    const QString path = Dialogs::getSaveFileName(
        m_Window, las ? QStringLiteral("Save LAS") : QStringLiteral("Save CSV"),
        QString::fromStdString(las ? defaultExportFileName(localTimeNow(), "las")
                                   : defaultCsvFileName(localTimeNow())),
        las ? QStringLiteral("LAS files (*.las)") : QString());
    if (path.isEmpty()) return;

    // A file that cannot be opened leaves a running export as it was; one that opens replaces
    // it (the rows that one wrote stay in its file). The same file again is closed first, so
    // that its queued rows cannot land in the new export.
    const std::string name = QFile::encodeName(path).toStdString();
    closeSamePathNow(name);

    if (displayPaused) {
        // The display stands still: the stored frame is the export, written at once.
        const std::unique_ptr<FrameExportFile> opened = makeExportFile(format);
        FrameExportFile& file = *opened;
        // The file name in the encoding of the file system (on Windows builds, the ANSI code page).
        if (!file.open(name)) {
            Dialogs::critical(m_Window, kError,
                              QStringLiteral("The %1 file cannot be opened for writing:\n%2\n%3")
                                  .arg(formatName(format), path, QString::fromLocal8Bit(file.error().c_str())));
            return;
        }
        if (m_Writer) retireWriter(false);
        m_AngleMin = angleMin;
        m_AngleMax = angleMax;
        m_Lines = lines;
        CsvExportOptions o;
        o.protocol = settings.protocol;
        o.viewMode = settings.viewMode;
        o.angleMin = m_AngleMin;
        o.angleMax = m_AngleMax;
        o.wholeCm = CsvWholeCm::AddHalfThenTruncate;
        file.writeFrame(lastFrame, 1, o);
        if (!file.close()) showNotSaved(name, file.error(), format);
        hideProgressWhenIdle();
        return;
    }

    const int id = m_NextWriterId++;
    std::unique_ptr<CsvExportWriter> writer = openWriter(path, id, format);
    if (!writer) return;
    if (m_Writer) retireWriter(false);
    m_Writer = std::move(writer);
    m_WriterId = id;

    m_AngleMin = angleMin;
    m_AngleMax = angleMax;
    m_Lines = lines;
    m_Counter.start(freams);
    m_Bar->setValue(0);
    showProgress(true);
    m_FramesRefused = 0;
    m_DroppedAtStart = m_LiveLink.framesDropped ? m_LiveLink.framesDropped() : 0;
    setExporting(true);
}

void ExportRoom::setExporting(bool exporting) {
    if (m_LiveLink.setExporting) m_LiveLink.setExporting(exporting);
}

std::unique_ptr<CsvExportWriter> ExportRoom::openWriter(const QString& path, int id, ExportFormat format) {
    auto writer = std::make_unique<CsvExportWriter>();
    // The verdict comes on the writer's thread and is handled on this one (the room outlives
    // its writers: its destructor ends them, and a report not yet delivered goes with it).
    auto ended = [this, id](const CsvExportWriter::Verdict& verdict) {
        QMetaObject::invokeMethod(
            this, [this, id, verdict] { onWriterEnded(id, verdict); }, Qt::QueuedConnection);
    };
    // The file name in the encoding of the file system (on Windows builds, the ANSI code page).
    if (writer->open(QFile::encodeName(path).toStdString(), ended, format, generatingSoftware())) return writer;
    Dialogs::critical(m_Window, kError,
                      QStringLiteral("The %1 file cannot be opened for writing:\n%2\n%3")
                          .arg(formatName(format), path, QString::fromLocal8Bit(writer->error().c_str())));
    return nullptr;
}

bool ExportRoom::exportFrame(const LidarDataSingleLine& frame, const FrameSettings& settings) {
    // A frame arriving while this one is being handed over (only through a nested event loop
    // elsewhere) is left out rather than counted twice.
    if (!saving() || m_InPass) return false;
    if (m_Writer->failed()) {
        // A full disk: the export stops at once; the writer's report says so.
        endCounting();
        return false;
    }
    m_InPass = true;
    CsvExportOptions o;
    o.protocol = settings.protocol;
    o.viewMode = settings.viewMode;
    o.angleMin = m_AngleMin;
    o.angleMax = m_AngleMax;
    // The frame is handed over as a copy; a full queue (the disk is slower than the sensor)
    // loses it, and the closing message counts it.
    if (!m_Writer->push(frame, m_Counter.written() + 1, o)) {
        ++m_FramesRefused;
        m_InPass = false;
        return true;
    }
    const CsvExportCounter::Step step = m_Counter.next();
    m_Bar->setValue(step.percent);
    m_Bar->repaint();  // paints now, without dispatching queued frames into this slot
    if (step.last) endCounting();
    m_InPass = false;
    return true;
}

void ExportRoom::endCounting() {
    m_Counter.stop();
    setExporting(false);
    const long long dropped =
        m_LiveLink.framesDropped ? m_LiveLink.framesDropped() - m_DroppedAtStart : 0;
    m_FramesLost = dropped + m_FramesRefused;
    retireWriter(true);
}

void ExportRoom::retireWriter(bool reportSaved) {
    if (!m_Writer) return;
    if (m_Counter.running()) {
        // Replaced while counting: its rows stay in its file; only a failure is reported.
        m_Counter.stop();
        setExporting(false);
    }
    Closing closing;
    closing.writer = std::move(m_Writer);
    closing.reportSaved = reportSaved;
    closing.framesLost = m_FramesLost;
    closing.writer->finish();
    m_Closing[m_WriterId] = std::move(closing);
}

void ExportRoom::closeSamePathNow(const std::string& path) {
    if (m_Writer && m_Writer->path() == path) retireWriter(false);
    for (auto it = m_Closing.begin(); it != m_Closing.end();) {
        const int id = it->first;
        ++it;  // onWriterEnded erases the entry
        Closing& c = m_Closing[id];
        if (c.writer->path() != path) continue;
        c.writer->wait();  // its queue is written and its file closed before the new one opens
        onWriterEnded(id, c.writer->verdict());
    }
}

void ExportRoom::onWriterEnded(int id, const CsvExportWriter::Verdict& verdict) {
    if (m_Writer && id == m_WriterId) {
        // The writer stopped on a failed write while the export was still counting.
        endCounting();
    }
    const auto it = m_Closing.find(id);
    if (it == m_Closing.end()) return;  // handled already (closed at once for its file name)
    Closing closing = std::move(it->second);
    m_Closing.erase(it);
    closing.writer->wait();  // the thread has reported: it is at its end
    if (!verdict.saved) {
        showNotSaved(closing.writer->path(), verdict.error, closing.writer->format());
    } else if (closing.reportSaved) {
        m_PendingReports.push_back({closing.framesLost, closing.writer->format()});
        emit exportFinished();
    }
    hideProgressWhenIdle();
}

void ExportRoom::showNotSaved(const std::string& path, const std::string& error, ExportFormat format) {
    Dialogs::critical(m_Window, kError,
                      QStringLiteral("The %1 file was not saved completely:\n%2\n%3")
                          .arg(formatName(format), QFile::decodeName(path.c_str()),
                               QString::fromLocal8Bit(error.c_str())));
}

void ExportRoom::reportSaved() {
    ExportFormat format = ExportFormat::Csv;
    if (!m_PendingReports.empty()) {
        m_FramesLost = m_PendingReports.front().framesLost;
        format = m_PendingReports.front().format;
        m_PendingReports.pop_front();
    }
    if (m_FramesLost > 0)
        Dialogs::warning(m_Window, kWarn,
                         QStringLiteral("The %1 file is saved, but %2 revolutions of the sensor "
                                        "could not be written (the window fell behind): the "
                                        "file's frames are not consecutive.")
                             .arg(formatName(format))
                             .arg(m_FramesLost));
    else
        Dialogs::information(m_Window, kWarn,
                             QStringLiteral("The %1 file is saved successfully").arg(formatName(format)));
    hideProgressWhenIdle();
}

std::string ExportRoom::endOnClose() {
    std::string said;
    if (m_Writer) {
        const int asked = m_Counter.requested();
        std::unique_ptr<CsvExportWriter> writer = std::move(m_Writer);
        m_Counter.stop();
        setExporting(false);
        // What was handed over is bounded (the writer's queue): it is written before exiting.
        writer->finish();
        writer->wait();
        const CsvExportWriter::Verdict& verdict = writer->verdict();
        const int written = static_cast<int>(verdict.framesWritten);
        const bool las = writer->format() == ExportFormat::Las;
        const IncompleteMark mark = markExportIncomplete(writer->path(), written, asked, !las);
        said = incompleteExportMessage(mark, written, asked, verdict.saved ? std::string() : verdict.error,
                                       formatName(writer->format()).toStdString());
        std::fprintf(stderr, "%s\n", said.c_str());
    }
    for (auto& entry : m_Closing) {
        CsvExportWriter& writer = *entry.second.writer;
        writer.wait();
        if (!writer.verdict().saved)
            std::fprintf(stderr, "rv-k740-p: the %s file '%s' was not saved completely: %s\n",
                         formatName(writer.format()).toUtf8().constData(), writer.path().c_str(),
                         writer.verdict().error.c_str());
    }
    m_Closing.clear();
    return said;
}

void ExportRoom::hideProgressWhenIdle() {
    // The bar stays while an export counts, closes or has its message still to show.
    if (!saving() && m_Closing.empty() && m_PendingReports.empty()) showProgress(false);
}

void ExportRoom::showProgress(bool shown) {
    m_Label->setVisible(shown);
    m_Bar->setVisible(shown);
}

}  // namespace k740
