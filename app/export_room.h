// The CSV export as the main window runs it: the options window, the save dialog, the open
// export file, the export pass of each arriving frame with its progress bar, the export of
// the stored frame while the display is paused, and the closing verdict.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "acquisition/lidar_frame.h"
#include "export/csv_export_file.h"
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

    SaveDataOptions* optionsDialog() const { return options_.get(); }

    // The live receiver as an export sees it: how many frames it has dropped so far, and the
    // switch that makes it keep every frame while an export runs. An export that lost frames
    // all the same ends with a warning that names how many, never with "saved".
    struct LiveLink {
        std::function<long long()> framesDropped;
        std::function<void(bool exporting)> setExporting;
    };
    void setLiveLink(LiveLink link) { liveLink_ = std::move(link); }
    long long framesLost() const { return framesLost_; }

    // "SaveData": the options window while the live display runs, otherwise the refusal.
    void showOptions(bool liveRunning);

    // The options window's answer. OK asks for the file; an export starts (and its options
    // take effect) only once the file is open. While the display is paused the stored frame
    // is written at once.
    void receiveOptions(bool isSave, int freams, float angleMin, float angleMax,
                        const QList<int>& lines, const FrameSettings& settings, bool displayPaused,
                        const LidarDataSingleLine& lastFrame);

    bool saving() const { return counter_.running() && file_ && file_->isOpen(); }
    bool saveRequested() const { return saveRequested_; }
    const CsvExportCounter& counter() const { return counter_; }
    float angleMin() const { return angleMin_; }
    float angleMax() const { return angleMax_; }

    // The export pass for one frame. True when the frame went to the file (the window then
    // shows no points for it).
    bool exportFrame(const LidarDataSingleLine& frame, const FrameSettings& settings);

    // The completion message, after exportFinished.
    void reportSaved();

signals:
    // Every frame of the export reached the file. Connect it queued: the message it leads to
    // must not open inside the frame slot.
    void exportFinished();

private:
    std::unique_ptr<CsvExportFile> openFile(const QString& path);
    void endExport();
    bool closeAndCheck(bool deferMessage);
    void showProgress(bool shown);
    void setExporting(bool exporting);

    QWidget* window_;
    QProgressBar* bar_;
    QLabel* label_;
    std::unique_ptr<SaveDataOptions> options_;
    std::unique_ptr<CsvExportFile> file_;  // the open export file, if any
    CsvExportCounter counter_;
    bool saveRequested_ = false;
    float angleMin_ = 0.0f;
    float angleMax_ = 360.0f;
    QList<int> lines_;  // travels with the options; this single-line sensor filters by none
    bool inPass_ = false;
    LiveLink liveLink_;
    long long droppedAtStart_ = 0;
    long long framesLost_ = 0;  // by the export that ended last
};

}  // namespace k740
