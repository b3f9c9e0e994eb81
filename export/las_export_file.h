// One LAS export file: the points of the frames handed to it as LAS 1.2 point records, and
// at close the header with the point count and the bounds of what was written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "export/frame_export_file.h"
#include "export/las_format.h"

namespace k740 {

class LasExportFile : public FrameExportFile {
public:
    // generatingSoftware goes into the header ("rv-k740-p 1.2.0", "k740-convert 1.2.0").
    explicit LasExportFile(std::string generatingSoftware);
    ~LasExportFile() override;
    LasExportFile(const LasExportFile&) = delete;
    LasExportFile& operator=(const LasExportFile&) = delete;

    // Opens (truncating) and writes a header of no points, so that a file left behind by an
    // interrupted export still reads as LAS.
    bool open(const std::string& path) override;
    bool isOpen() const override { return out_.is_open(); }
    // The points' source ID is frameId - 1 (the frame's index from 0), modulo 65536.
    std::size_t writeFrame(const LidarDataSingleLine& frame, int frameId,
                           const CsvExportOptions& options) override;
    bool good() const override { return out_.is_open() && !out_.fail() && error_.empty(); }
    // Writes the header with the count and bounds of the points written, then closes.
    bool close() override;
    const std::string& error() const override { return error_; }
    const std::string& path() const override { return path_; }

    const LasSummary& summary() const { return summary_; }

private:
    bool writeHeader();

    std::string software_;
    std::ofstream out_;
    std::vector<char> buffer_;
    std::vector<std::uint8_t> records_;  // one frame's records, handed to the stream at once
    LasSummary summary_;
    LasFileInfo info_;
    std::string path_;
    std::string error_;
};

}  // namespace k740
