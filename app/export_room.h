// The CSV (or LAS) export as the main window runs it: the options window, the save dialog, the export
// pass of each arriving frame with its progress bar, the export of the stored frame while the
// display is paused, and the closing verdict. A live export's file is written by its own
// thread (export/csv_export_writer.h): each frame is handed over as a value and the window
// goes back to drawing; the messages wait until that thread has closed and checked the file.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "acquisition/lidar_frame.h"
#include "export/csv_export_file.h"
#include "export/csv_export_writer.h"
#include "export/save_options.h"

class QLabel;
class QProgressBar;
class QWidget;
class SaveDataOptions;

namespace k740 {

class ExportRoom : public QObject {
    Q_OBJECT
public:
    // The form's settings that shape the rows, read when a frame is exported.
    struct FrameSettings {
        int protocol = 0;  // protocol combo index: raw / 0.5 or raw / 0.25
        int viewMode = 0;  // view-mode combo index: 0 whole centimetres
    };

    // The window parents the message boxes; the bar and label show the progress.
    ExportRoom(QWidget* window, QProgressBar* bar, QLabel* label);
    ~ExportRoom() override;

    SaveDataOptions* optionsDialog() const { return m_Options.get(); }

    // The live receiver as an export sees it: how many frames it has dropped so far, and the
    // switch that makes it keep every frame while an export runs. An export that lost frames
    // all the same (or that the writer thread's full queue had to refuse) ends with a warning
    // that names how many, never with "saved".
    struct LiveLink {
        std::function<long long()> framesDropped;
        std::function<void(bool exporting)> setExporting;
    };
    void setLiveLink(LiveLink link) { m_LiveLink = std::move(link); }
    // Revolutions lost by the export reported last.
    long long framesLost() const { return m_FramesLost; }

    // "SaveData": the options window while the live display runs, otherwise the refusal.
    void showOptions(bool liveRunning);

    // The options window's answer. OK asks for the file; an export starts (and its options
    // take effect) only once the file is open. While the display is paused the stored frame
    // is written at once.
    void receiveOptions(bool isSave, int freams, float angleMin, float angleMax,
                        const QList<int>& lines, const FrameSettings& settings, bool displayPaused,
                        const LidarDataSingleLine& lastFrame);

    // A live export is counting frames (they go to its writer, not to the view).
    bool saving() const { return m_Counter.running() && m_Writer != nullptr; }
    bool saveRequested() const { return m_SaveRequested; }
    const CsvExportCounter& counter() const { return m_Counter; }
    float angleMin() const { return m_AngleMin; }
    float angleMax() const { return m_AngleMax; }

    // The export pass for one frame. True when the frame went to the export (the window then
    // shows no points for it).
    bool exportFrame(const LidarDataSingleLine& frame, const FrameSettings& settings);

    // The completion message, after exportFinished.
    void reportSaved();

    // The window is closing. A live export still counting stops: the frames handed to its
    // writer are written and the file closed, and when fewer frames than asked reached it,
    // the file is renamed to say it is incomplete and a line on standard error says where it
    // is. Exports that had counted all their frames finish writing (a failure goes to
    // standard error: no message box opens any more). Returns that line, or an empty string.
    std::string endOnClose();

signals:
    // Every frame of the export reached the file, which is closed and checked. Connect it
    // queued: the message it leads to must not open inside the slot that emits it.
    void exportFinished();

private:
    // An export whose writer has been told to finish: its verdict is still to come.
    struct Closing {
        std::unique_ptr<CsvExportWriter> writer;
        bool reportSaved = false;  // the export counted all its frames: report it saved
        long long framesLost = 0;
    };
    std::unique_ptr<CsvExportWriter> openWriter(const QString& path, int id, ExportFormat format);
    void endCounting();
    void retireWriter(bool reportSaved);
    void closeSamePathNow(const std::string& path);
    void onWriterEnded(int id, const CsvExportWriter::Verdict& verdict);
    void showNotSaved(const std::string& path, const std::string& error, ExportFormat format);
    void showProgress(bool shown);
    void hideProgressWhenIdle();
    void setExporting(bool exporting);

    QWidget* m_Window;
    QProgressBar* m_Bar;
    QLabel* m_Label;
    std::unique_ptr<SaveDataOptions> m_Options;
    std::unique_ptr<CsvExportWriter> m_Writer;  // the counting export's writer, if any
    int m_WriterId = 0;
    int m_NextWriterId = 1;
    std::map<int, Closing> m_Closing;  // by writer id
    struct PendingReport {
        long long framesLost = 0;
        ExportFormat format = ExportFormat::Csv;
    };
    std::deque<PendingReport> m_PendingReports;  // one per exportFinished emitted
    CsvExportCounter m_Counter;
    bool m_SaveRequested = false;
    float m_AngleMin = 0.0f;
    float m_AngleMax = 360.0f;
    QList<int> m_Lines;  // travels with the options; this single-line sensor filters by none
    bool m_InPass = false;
    LiveLink m_LiveLink;
    long long m_DroppedAtStart = 0;
    long long m_FramesRefused = 0;  // by the writer's full queue, in the counting export
    long long m_FramesLost = 0;     // by the export reported last
};

}  // namespace k740
