// One CSV export file: opened and truncated with its header line, frames appended as data
// lines, and closed with the verdict whether every line reached the file.
#pragma once

#include <cstddef>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "export/csv_format.h"
#include "export/frame_export_file.h"

namespace k740 {

class CsvExportFile : public FrameExportFile {
public:
    CsvExportFile() = default;
    ~CsvExportFile() override;
    CsvExportFile(const CsvExportFile&) = delete;
    CsvExportFile& operator=(const CsvExportFile&) = delete;

    // Opens (truncating) and writes the header line. False, with error() set, when the file
    // cannot be opened; nothing is written then.
    bool open(const std::string& path) override;
    bool isOpen() const override { return out_.is_open(); }

    // Appends the points of one frame within the options' azimuth range with the given FreamID.
    std::size_t writeFrame(const LidarDataSingleLine& frame, int frameId,
                           const CsvExportOptions& options) override;

    // False once a write has failed (the lines since then are lost).
    bool good() const override { return out_.is_open() && !out_.fail(); }

    // Flushes and closes. True when every line was written; otherwise error() says why (a full
    // disk shows here, as buffered lines fail only when they are flushed).
    bool close() override;
    const std::string& error() const override { return error_; }
    const std::string& path() const override { return path_; }

private:
    std::ofstream out_;
    std::vector<char> buffer_;
    std::string path_;
    std::string error_;
};

}  // namespace k740
