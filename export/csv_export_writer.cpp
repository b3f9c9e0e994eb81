// The CSV export's writer thread.
#include "export/csv_export_writer.h"

#include <utility>

#include "export/las_export_file.h"

namespace k740 {

CsvExportWriter::CsvExportWriter(std::size_t queueFrames)
    : m_Capacity(queueFrames > 0 ? queueFrames : 1) {}

CsvExportWriter::~CsvExportWriter() {
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Silent = true;
        m_Finishing = true;
    }
    m_Wake.notify_one();
    if (m_Thread.joinable()) m_Thread.join();
}

bool CsvExportWriter::open(const std::string& path, EndedHandler ended, ExportFormat format,
                           const std::string& software) {
    if (m_Thread.joinable()) {
        m_OpenError = "the writer already has a file";
        return false;
    }
    m_Path = path;
    m_Format = format;
    if (format == ExportFormat::Las)
        m_File = std::make_unique<LasExportFile>(software);
    else
        m_File = std::make_unique<CsvExportFile>();
    if (!m_File->open(path)) {
        m_OpenError = m_File->error();
        return false;
    }
    m_Ended = std::move(ended);
    m_Thread = std::thread([this] { run(); });
    return true;
}

bool CsvExportWriter::push(LidarDataSingleLine frame, int frameId, const CsvExportOptions& options) {
    if (m_Failed.load()) return false;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        if (!m_Thread.joinable() || m_Finishing || m_Queue.size() >= m_Capacity) return false;
        m_Queue.push_back(Job{std::move(frame), frameId, options});
    }
    m_Wake.notify_one();
    return true;
}

void CsvExportWriter::finish() {
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Finishing = true;
    }
    m_Wake.notify_one();
}

void CsvExportWriter::wait() {
    if (m_Thread.joinable()) m_Thread.join();
}

std::size_t CsvExportWriter::queued() const {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Queue.size();
}

void CsvExportWriter::run() {
    Verdict verdict;
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_Mutex);
            m_Wake.wait(lock, [this] { return !m_Queue.empty() || m_Finishing; });
            if (m_Queue.empty()) break;  // finished and everything written
            job = std::move(m_Queue.front());
            m_Queue.pop_front();
        }
        m_File->writeFrame(job.frame, job.frameId, job.options);
        if (!m_File->good()) {
            // A full disk: stop at once; the frames after this one are lost.
            m_Failed.store(true);
            break;
        }
        ++verdict.framesWritten;
    }
    const bool closed = m_File->close();
    verdict.saved = closed && !m_Failed.load();
    if (!verdict.saved) {
        m_Failed.store(true);
        verdict.error = m_File->error().empty() ? std::string("write failed") : m_File->error();
    }
    EndedHandler ended;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Queue.clear();
        m_Verdict = verdict;
        if (!m_Silent) ended = std::move(m_Ended);
    }
    if (ended) ended(verdict);
}

}  // namespace k740
