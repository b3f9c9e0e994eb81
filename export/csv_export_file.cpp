// The CSV export file and its write checks.
#include "export/csv_export_file.h"

#include <cerrno>
#include <cstring>

namespace k740 {

namespace {
constexpr std::size_t kBufferBytes = 1 << 20;  // a 32,000-point frame is about 2 MB of text

std::string reason(const char* what) {
    const int e = errno;
    return e != 0 ? std::string(what) + ": " + std::strerror(e) : std::string(what);
}
}  // namespace

CsvExportFile::~CsvExportFile() {
    if (out_.is_open()) out_.close();
}

bool CsvExportFile::open(const std::string& path) {
    if (out_.is_open()) close();
    error_.clear();
    path_ = path;
    out_.clear();
    buffer_.assign(kBufferBytes, '\0');
    out_.rdbuf()->pubsetbuf(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    errno = 0;
    out_.open(path, std::ios::out | std::ios::trunc);
    if (!out_.is_open()) {
        error_ = reason("cannot open for writing");
        return false;
    }
    writeCsvHeader(out_);
    return true;
}

std::size_t CsvExportFile::writeFrame(const LidarDataSingleLine& frame, int frameId,
                                      const CsvExportOptions& options) {
    if (!out_.is_open()) return 0;
    return writeCsvFrame(out_, frame, frameId, options);
}

bool CsvExportFile::close() {
    if (!out_.is_open()) return error_.empty();
    errno = 0;
    out_.flush();
    const bool flushed = !out_.fail();
    if (!flushed && error_.empty()) error_ = reason("write failed");
    errno = 0;
    out_.close();
    if (out_.fail() && error_.empty()) error_ = reason("close failed");
    return error_.empty();
}

}  // namespace k740
