// The capture-record loop of k740-convert (see capture_feed.h).
#include "tools/capture_feed.h"

#include "tools/progress_line.h"

namespace k740::convert {

bool feedCapture(SensorRecordReader& reader, const std::string& path, const FeedMode& mode,
                 const FrameSink& sink, const std::function<bool()>& stop) {
    ProgressLine progress(path);
    CaptureFrameAnalyzer analyzer(mode.singleLine);
    LiveFrameAssembler assembler([&](LidarDataSingleLine&& f) { sink(std::move(f)); });
    SensorRecord record;
    for (;;) {
        const SensorRecordReader::Result r = reader.next(record);
        if (r == SensorRecordReader::Result::End) return true;
        if (r == SensorRecordReader::Result::Error) return false;
        if (record.index % 256 == 0) progress.update(record.filePosition);
        if (mode.live)
            assembler.addDatagram(record.payload, record.length, mode.returnMode, mode.protocol);
        else
            analyzer.addPacket(record.payload, record.length, sink);
        if (stop && stop()) return true;
    }
}

}  // namespace k740::convert
