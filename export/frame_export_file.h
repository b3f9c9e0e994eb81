// An export file that takes frames: the CSV file and the LAS file, both written by the
// export's writer thread (and by k740-convert) through this one face.
#pragma once

#include <cstddef>
#include <string>

#include "acquisition/lidar_frame.h"
#include "export/csv_format.h"

namespace k740 {

// The formats the export writes.
enum class ExportFormat { Csv, Las };

class FrameExportFile {
public:
    virtual ~FrameExportFile() = default;

    // Opens (truncating) and writes what comes before the points. False, with error() set,
    // when the file cannot be opened; nothing is written then.
    virtual bool open(const std::string& path) = 0;
    virtual bool isOpen() const = 0;
    // Appends the points of one frame within the options' azimuth range; frameId is the
    // frame's number within the export, from 1. Returns the number of points written.
    virtual std::size_t writeFrame(const LidarDataSingleLine& frame, int frameId,
                                   const CsvExportOptions& options) = 0;
    // False once a write has failed (the points since then are lost).
    virtual bool good() const = 0;
    // Flushes, completes and closes. True when every point was written; otherwise error()
    // says why.
    virtual bool close() = 0;
    virtual const std::string& error() const = 0;
    virtual const std::string& path() const = 0;
};

}  // namespace k740
