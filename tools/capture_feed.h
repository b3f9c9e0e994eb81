// The one loop of k740-convert that reads a capture file's sensor records and turns them into
// frames, with the progress line: every command that works on a capture's frames calls it.
#pragma once

#include <functional>
#include <string>

#include "acquisition/frame_assembler.h"
#include "playback/capture_index.h"

namespace k740::convert {

// How the records become frames: the capture-file analysis (the default) or, with `live`, the
// live receiver's assembly with its return mode and protocol.
struct FeedMode {
    bool singleLine = false;
    bool live = false;
    int returnMode = 0;
    int protocol = 0;
};

// Feeds the records of the open `reader` (a capture at `path`, named by the progress line) to
// the frame assembly, each finished frame to `sink`, until the end, a read fault or `stop`
// says so after a record. Returns false at a read fault (the reader's error() says which).
bool feedCapture(SensorRecordReader& reader, const std::string& path, const FeedMode& mode,
                 const FrameSink& sink, const std::function<bool()>& stop = {});

}  // namespace k740::convert
