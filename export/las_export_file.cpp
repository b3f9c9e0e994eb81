// The LAS export file and its write checks.
#include "export/las_export_file.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

namespace k740 {

namespace {
constexpr std::size_t kBufferBytes = 1 << 20;

std::string reason(const char* what) {
    const int e = errno;
    return e != 0 ? std::string(what) + ": " + std::strerror(e) : std::string(what);
}

// Today's day of the year (1..366) and year, in UTC.
void today(LasFileInfo& info) {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    info.creationDayOfYear = utc.tm_yday + 1;
    info.creationYear = utc.tm_year + 1900;
}
}  // namespace

LasExportFile::LasExportFile(std::string generatingSoftware) : software_(std::move(generatingSoftware)) {}

LasExportFile::~LasExportFile() {
    if (out_.is_open()) close();
}

bool LasExportFile::open(const std::string& path) {
    if (out_.is_open()) close();
    error_.clear();
    path_ = path;
    summary_ = LasSummary();
    info_ = LasFileInfo();
    info_.generatingSoftware = software_;
    today(info_);
    out_.clear();
    buffer_.assign(kBufferBytes, '\0');
    out_.rdbuf()->pubsetbuf(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    errno = 0;
    out_.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!out_.is_open()) {
        error_ = reason("cannot open for writing");
        return false;
    }
    return writeHeader();
}

bool LasExportFile::writeHeader() {
    std::uint8_t header[kLasHeaderSize];
    encodeLasHeader(summary_, info_, header);
    out_.write(reinterpret_cast<const char*>(header), sizeof header);
    return !out_.fail();
}

std::size_t LasExportFile::writeFrame(const LidarDataSingleLine& frame, int frameId,
                                      const CsvExportOptions& options) {
    if (!good()) return 0;
    const std::uint64_t index = frameId > 0 ? static_cast<std::uint64_t>(frameId - 1) : 0;
    records_.clear();
    LasSummary summary = summary_;
    const std::size_t n = forEachExportPoint(frame, options, [&](const ExportPoint& e) {
        const LasPoint p = lasPoint(e, index);
        summary.add(p);
        records_.resize(records_.size() + kLasPointSize);
        encodeLasPoint(p, records_.data() + records_.size() - kLasPointSize);
    });
    if (summary.points() > kLasMaxPoints) {
        // The header cannot count them: the file ends with the frames before this one.
        error_ = "more points than a LAS 1.2 file can hold (4294967295)";
        return 0;
    }
    summary_ = summary;
    out_.write(reinterpret_cast<const char*>(records_.data()), static_cast<std::streamsize>(records_.size()));
    return n;
}

bool LasExportFile::close() {
    if (!out_.is_open()) return error_.empty();
    errno = 0;
    out_.flush();
    const bool flushed = !out_.fail();
    if (!flushed && error_.empty()) error_ = reason("write failed");
    // The header now says how many points the file holds and where they lie (also after a
    // refused frame: the points before it are sound).
    if (flushed) {
        out_.seekp(0);
        writeHeader();
        out_.flush();
        if (out_.fail() && error_.empty()) error_ = reason("write failed");
    }
    errno = 0;
    out_.close();
    if (out_.fail() && error_.empty()) error_ = reason("close failed");
    return error_.empty();
}

}  // namespace k740
