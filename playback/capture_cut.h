// A piece of a capture file: the records from the first packet of one frame to the last
// packet of another, copied byte for byte with their time stamps into a classic pcap file.
// Every record in between goes along, other traffic included, so that the piece replays as
// the sensor's stream did.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "playback/capture_index.h"

namespace k740 {

// Why frames first..last (numbered from 0) cannot be cut from a catalog of `frames` frames;
// empty when they can.
std::string checkFrameRange(std::uint64_t first, std::uint64_t last, std::size_t frames);

struct CaptureCutResult {
    bool ok = false;
    std::string error;               // why not, when not ok (the output is then removed)
    std::uint64_t records = 0;       // records written, sensor packets and other traffic
    std::uint64_t sensorPackets = 0;  // of them, sensor packets of the catalog's kind
    // Frames of the piece's own capture-file analysis. The first packet of a frame often
    // also carries the end of the frame before (the revolution turns over inside a packet):
    // when two or more of its blocks do, the piece starts with that end as a short frame of
    // its own and then holds the asked frames, one more than asked.
    std::uint64_t frames = 0;
};

// Writes frames first..last of `catalog`, which was built from the capture file at
// `path`, to a new classic pcap file at outPath: the source's link type and snapshot length,
// its time-stamp resolution (micro- or nanoseconds), little-endian headers. Refuses an
// output that is the capture file itself, and a capture that has changed since the catalog
// was built (the frame's packets are no longer where the catalog says).
CaptureCutResult cutCapture(const std::string& path, const FrameCatalog& catalog, std::uint64_t first,
                            std::uint64_t last, const std::string& outPath);

}  // namespace k740
