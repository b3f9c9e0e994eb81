// Sensor packets of capture files: the one reader of capture records that the player, the
// converter and the simulator's replay share, and the frame catalog — for every frame of the
// capture-file analysis, where it starts and ends in the file's packet list — built in the
// same single pass as the slider's frame count, so that any frame can be decoded on demand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "acquisition/frame_assembler.h"
#include "acquisition/lidar_frame.h"
#include "acquisition/packet_format.h"
#include "platform/pcap_file.h"

namespace k740 {

// Sensor payload size in a capture: 1206-byte data packets, or 778-byte single-line packets.
inline std::size_t sensorPayloadSize(bool singleLine) {
    return singleLine ? kSingleLinePacketSize : kDataPacketSize;
}

// The capture-file rule for one record: a 42-byte Ethernet/IPv4/UDP header followed by a
// sensor payload (isSensorPayload), that is captured length 1248 and FF EE at byte 42
// (single-line mode: 820 and A2 5C). Ports, addresses and the header bytes themselves are
// not examined.
bool isSensorRecord(const std::uint8_t* frame, std::size_t capturedLength, bool singleLine);

// The size of the file at path in bytes; -1 when it cannot be found out.
std::int64_t fileSizeOf(const std::string& path);

// Which sensor records a reader hands out.
enum class SensorKind {
    Data,        // 1206-byte data packets
    SingleLine,  // 778-byte single-line packets
    Either,      // both (the live assembly and the simulator's replay tell them apart)
};

inline SensorKind sensorKind(bool singleLine) {
    return singleLine ? SensorKind::SingleLine : SensorKind::Data;
}

// One sensor packet of a capture file. payload stays valid until the next call on the reader.
struct SensorRecord {
    const std::uint8_t* payload = nullptr;
    std::size_t length = 0;    // 1206 or 778
    std::int64_t seconds = 0;  // capture time stamp
    std::uint32_t nanoseconds = 0;
    std::int64_t filePosition = -1;  // reader position before this record (see seek)
    std::uint64_t index = 0;         // sensor packets before this one since open or seek
};

// Outcome of reading a capture file. A truncated or damaged file keeps what was read up to
// the fault: complete is false and error says why.
struct CaptureReadStatus {
    bool opened = false;
    bool complete = false;
    std::string error;
    std::uint64_t records = 0;  // records read, sensor or not
    bool ok() const { return opened && complete; }
};

// Reads the sensor packets of a capture file in file order, skipping every other record.
class SensorRecordReader {
public:
    enum class Result { Packet, End, Error };

    bool open(const std::string& path, SensorKind kind,
              std::size_t streamBuffer = PcapFileReader::kWholeFileBuffer);
    void close() { m_Reader.close(); }
    bool isOpen() const { return m_Reader.isOpen(); }

    // The next sensor packet; End at a clean end of file, Error at a damaged or truncated
    // record (error() says why).
    Result next(SensorRecord& out);
    // Goes back (or forward) to a record's filePosition; `index` is the index that record
    // carries from then on.
    bool seek(std::int64_t filePosition, std::uint64_t index);

    const std::string& error() const { return m_Reader.error(); }
    std::uint64_t recordsRead() const { return m_Reader.recordsRead(); }

private:
    PcapFileReader m_Reader;
    SensorKind m_Kind = SensorKind::Data;
    std::uint64_t m_Index = 0;
};

// Reads every sensor packet of a capture file and hands it to `take`; `take` returns false
// to stop early (the status is then complete).
CaptureReadStatus forEachSensorRecord(const std::string& path, SensorKind kind,
                                      const std::function<bool(const SensorRecord&)>& take);

// Where one frame of the capture-file analysis lies in the file's sensor packets: from block
// firstBlock of packet firstPacket to block lastBlock of packet lastPacket, both included
// (single-line mode: whole packets, blocks 0). filePosition is where the reader finds packet
// firstPacket. timeUs is the capture time stamp of the record that completes the frame (of
// packet lastPacket), in microseconds: when the frame was there to be shown.
struct FrameSpan {
    std::int64_t filePosition = -1;
    std::uint64_t firstPacket = 0;
    std::uint64_t lastPacket = 0;
    std::uint8_t firstBlock = 0;
    std::uint8_t lastBlock = 0;
    std::int64_t timeUs = 0;
    // Where the frame lies; its time stamp is not compared.
    bool operator==(const FrameSpan& o) const {
        return filePosition == o.filePosition && firstPacket == o.firstPacket &&
               lastPacket == o.lastPacket && firstBlock == o.firstBlock && lastBlock == o.lastBlock;
    }
};

// The catalog of one capture file: its sensor packets, the slider's frame count and the
// frames of the capture-file analysis, found in one pass over the file.
struct FrameCatalog {
    bool singleLine = false;
    std::uint64_t packets = 0;       // sensor packets by the capture-file rule
    // Sensor packets of the other kind, read past: single-line packets when the file is read
    // for data packets, data packets when it is read for single-line packets. A file opened
    // in the wrong mode holds no frames but many of these.
    std::uint64_t otherKindPackets = 0;
    std::uint64_t sliderFrames = 0;  // the main window's count for its slider and spin box
    std::vector<FrameSpan> frames;   // frames of the capture-file analysis, in file order
};

// Builds a catalog packet by packet from the block azimuths alone (no points are decoded).
//
// Analysis frames: where they end is the analysis's own rule (AnalysisFrameBoundaries in
// frame_assembler.h); the catalog records where each frame starts and ends in the file. A
// frame still open after the last packet is not a frame; one dropped at the frame cap is
// counted in framesCapped().
//
// Slider count: single-line mode counts the packets whose start azimuth is exactly 270;
// otherwise every block whose azimuth differs by more than 180 degrees from the block
// before it, across packet borders, the file's very first block compared with 0.
class FrameCatalogBuilder {
public:
    explicit FrameCatalogBuilder(bool singleLine, bool keepSpans = true);

    // Takes one sensor payload; payloads that are not sensor payloads of the catalog's kind
    // are skipped (returns 0), those of the other kind counted in otherKindPackets.
    // filePosition is where a reader finds it again, timeUs its capture time stamp in
    // microseconds. Returns the analysis frames this packet completes.
    int addPacket(const std::uint8_t* payload, std::size_t length, std::int64_t filePosition = -1,
                  std::int64_t timeUs = 0);

    std::uint64_t frames() const { return m_Frames; }
    std::uint64_t framesCapped() const { return m_FramesCapped; }
    const FrameCatalog& catalog() const { return m_Catalog; }
    FrameCatalog take();

private:
    // Applies the boundary rule's verdict on block `block` of the current packet.
    void record(AnalysisFrameBoundaries::Step step, std::uint8_t block, std::int64_t filePosition,
                std::int64_t timeUs, bool opens);

    bool m_KeepSpans;
    FrameCatalog m_Catalog;
    AnalysisFrameBoundaries m_Boundaries;
    std::uint64_t m_Frames = 0;
    std::uint64_t m_FramesCapped = 0;
    double m_SliderPrevious = 0.0;
    FrameSpan m_Open;
};

// The slider's frame count over packets held in memory (same rule as the catalog's).
std::size_t sliderFrameCount(const std::uint8_t* const* packets, std::size_t count,
                             bool singleLine);

// Decodes one frame from its packets, exactly as the capture-file analysis decodes it.
// `packets` are the payloads of span.firstPacket .. span.lastPacket.
void decodeFrame(const FrameSpan& span, const std::uint8_t* const* packets, bool singleLine,
                 LidarDataSingleLine& out);

// Progress of a pass over a file: bytes read so far and the file's size. Returns false to
// cancel the pass.
using CaptureProgress = std::function<bool(std::int64_t done, std::int64_t total)>;

struct CatalogResult {
    CaptureReadStatus status;
    bool cancelled = false;  // the progress callback asked to stop
    FrameCatalog catalog;
};

// A capture record's time stamp in microseconds.
inline std::int64_t recordTimeUs(const SensorRecord& r) {
    return r.seconds * 1000000 + static_cast<std::int64_t>(r.nanoseconds / 1000);
}

// The record time stamps of a catalog's frames, in frame order (the recorded pace).
std::vector<std::int64_t> frameTimesUs(const FrameCatalog& catalog);

// One pass over a capture file: its catalog. A damaged or truncated file keeps the packets
// and frames read before the fault (status.complete false, status.error says why).
CatalogResult buildFrameCatalog(const std::string& path, bool singleLine,
                                const CaptureProgress& progress = {});

// Counts of one capture file, read as a stream (memory does not grow with the file).
struct CaptureSummary {
    CaptureReadStatus status;
    std::uint64_t packets = 0;  // sensor packets by the capture-file rule
    std::uint64_t frames = 0;   // frames of the capture-file analysis
    std::uint64_t otherKindPackets = 0;  // as FrameCatalog::otherKindPackets
};

// progress (optional) hears of the file position now and then; returning false stops the pass
// (status then not complete, error "cancelled").
CaptureSummary summarizeCaptureFile(const std::string& path, bool singleLine,
                                    const CaptureProgress& progress = {});

// Decodes the frames of a catalog on demand, reading their packets from the file; nothing
// decoded is kept. A file changed or cut short since the catalog was built gives false
// (with the reason), never bytes from outside the file.
class CaptureFrameSource {
public:
    // Opens the file the catalog was built from; the catalog must outlive the source.
    bool open(const std::string& path, const FrameCatalog* catalog, std::string* error = nullptr);
    void close();
    std::size_t frameCount() const { return m_Catalog ? m_Catalog->frames.size() : 0; }

    bool decode(std::size_t frame, LidarDataSingleLine& out, std::string* error = nullptr);

private:
    SensorRecordReader m_Reader;
    const FrameCatalog* m_Catalog = nullptr;
    std::vector<std::uint8_t> m_Bytes;  // the packets of the frame being decoded
};

}  // namespace k740
