// The export file (CSV or LAS) written on its own thread. The window hands every exported frame over
// as a value through a bounded queue and goes back to drawing; the writer thread appends the
// frames in the order they were queued. When the export is finished, or as soon as a write
// fails, the thread flushes, closes and checks the file, and only then reports its verdict:
// "saved" means every queued frame was written and the file closed clean.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "acquisition/lidar_frame.h"
#include "export/csv_export_file.h"
#include "export/csv_format.h"
#include "export/frame_export_file.h"
#include <memory>

namespace k740 {

class CsvExportWriter {
public:
    // As many frames as the live receiver keeps in flight for an export.
    static constexpr std::size_t kDefaultQueueFrames = 64;

    struct Verdict {
        bool saved = false;             // every queued frame written, the file closed clean
        std::string error;              // why not, when not saved
        std::size_t framesWritten = 0;  // frames that went to the file before the end
    };
    // Called once, on the writer thread, after the file has been closed.
    using EndedHandler = std::function<void(const Verdict&)>;

    explicit CsvExportWriter(std::size_t queueFrames = kDefaultQueueFrames);
    // Writes what is queued, closes the file and waits for the thread, without calling the
    // handler: a window closed during an export keeps the rows it has handed over.
    ~CsvExportWriter();
    CsvExportWriter(const CsvExportWriter&) = delete;
    CsvExportWriter& operator=(const CsvExportWriter&) = delete;

    // Opens (truncating) and writes the header line on the calling thread, so the caller knows
    // at once whether the export can run, then starts the thread. False, with error() set,
    // when the file cannot be opened; no thread runs then. A LAS file names `software` in its
    // header.
    bool open(const std::string& path, EndedHandler ended, ExportFormat format = ExportFormat::Csv,
              const std::string& software = std::string());
    const std::string& error() const { return m_OpenError; }
    const std::string& path() const { return m_Path; }
    ExportFormat format() const { return m_Format; }

    // Queues one frame with its FreamID. False, and the frame is not written, when the queue
    // is full, after finish() or once a write has failed.
    bool push(LidarDataSingleLine frame, int frameId, const CsvExportOptions& options);
    // No more frames: the thread writes what is queued, then closes the file and reports.
    void finish();
    // Waits until the thread has ended (after finish() or a failed write).
    void wait();
    // The verdict, once wait() has returned.
    const Verdict& verdict() const { return m_Verdict; }

    // A write has failed: the thread has stopped writing (its report is on its way).
    bool failed() const { return m_Failed.load(); }
    std::size_t queued() const;
    std::size_t capacity() const { return m_Capacity; }

private:
    struct Job {
        LidarDataSingleLine frame;
        int frameId = 0;
        CsvExportOptions options;
    };
    void run();

    const std::size_t m_Capacity;
    std::unique_ptr<FrameExportFile> m_File;  // the thread's once it runs
    std::string m_Path;
    ExportFormat m_Format = ExportFormat::Csv;
    std::string m_OpenError;
    EndedHandler m_Ended;
    Verdict m_Verdict;  // written by the thread, read after wait()

    mutable std::mutex m_Mutex;
    std::condition_variable m_Wake;
    std::deque<Job> m_Queue;  // under m_Mutex
    bool m_Finishing = false;  // under m_Mutex
    bool m_Silent = false;     // under m_Mutex: no report (the owner is going away)
    std::atomic<bool> m_Failed{false};
    std::thread m_Thread;
};

}  // namespace k740
