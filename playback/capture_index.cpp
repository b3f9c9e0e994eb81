// The shared capture-record reader, the frame catalog and on-demand frame decoding.
#include "playback/capture_index.h"

#include <sys/stat.h>

#include <algorithm>
#include <utility>

#include "acquisition/frame_assembler.h"
#include "acquisition/packet_decoder.h"

namespace k740 {

namespace {

// Seeking back for one frame reads a few dozen records: a small buffer keeps that cheap.
constexpr std::size_t kFrameReadBuffer = 64 * 1024;

std::uint16_t rawBlockAzimuth(const std::uint8_t* packet, std::size_t b) {
    return readLE16(packet + b * kBlockSize + kBlockAzimuthOffset);
}

bool wanted(SensorKind kind, const std::uint8_t* payload, std::size_t length) {
    switch (kind) {
        case SensorKind::Data:
            return isSensorPayload(payload, length, false);
        case SensorKind::SingleLine:
            return isSensorPayload(payload, length, true);
        case SensorKind::Either:
            return isSensorPayload(payload, length, false) ||
                   isSensorPayload(payload, length, true);
    }
    return false;
}

}  // namespace

std::int64_t fileSizeOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

bool isSensorRecord(const std::uint8_t* frame, std::size_t capturedLength, bool singleLine) {
    if (frame == nullptr || capturedLength < kCaptureHeaderSize) return false;
    return isSensorPayload(frame + kCaptureHeaderSize, capturedLength - kCaptureHeaderSize,
                           singleLine);
}

// ---- the shared reader ----

bool SensorRecordReader::open(const std::string& path, SensorKind kind, std::size_t streamBuffer) {
    m_Kind = kind;
    m_Index = 0;
    return m_Reader.open(path, streamBuffer);
}

SensorRecordReader::Result SensorRecordReader::next(SensorRecord& out) {
    CaptureRecord record;
    for (;;) {
        const std::int64_t position = m_Reader.position();
        const PcapFileReader::Result r = m_Reader.next(record);
        if (r == PcapFileReader::Result::End) return Result::End;
        if (r == PcapFileReader::Result::Error) return Result::Error;
        if (record.capturedLength < kCaptureHeaderSize) continue;
        const std::uint8_t* payload = record.data + kCaptureHeaderSize;
        const std::size_t length = record.capturedLength - kCaptureHeaderSize;
        if (!wanted(m_Kind, payload, length)) continue;
        out.payload = payload;
        out.length = length;
        out.seconds = record.seconds;
        out.nanoseconds = record.nanoseconds;
        out.filePosition = position;
        out.index = m_Index++;
        return Result::Packet;
    }
}

bool SensorRecordReader::seek(std::int64_t filePosition, std::uint64_t index) {
    if (!m_Reader.seek(filePosition)) return false;
    m_Index = index;
    return true;
}

CaptureReadStatus forEachSensorRecord(const std::string& path, SensorKind kind,
                                      const std::function<bool(const SensorRecord&)>& take) {
    CaptureReadStatus status;
    SensorRecordReader reader;
    if (!reader.open(path, kind)) {
        status.error = reader.error();
        return status;
    }
    status.opened = true;
    SensorRecord record;
    for (;;) {
        const SensorRecordReader::Result r = reader.next(record);
        if (r == SensorRecordReader::Result::End) {
            status.complete = true;
            break;
        }
        if (r == SensorRecordReader::Result::Error) {
            status.error = reader.error();
            break;
        }
        if (!take(record)) {
            status.complete = true;
            break;
        }
    }
    status.records = reader.recordsRead();
    return status;
}

// ---- the catalog ----

FrameCatalogBuilder::FrameCatalogBuilder(bool singleLine, bool keepSpans)
    : m_KeepSpans(keepSpans), m_Boundaries(singleLine) {
    m_Catalog.singleLine = singleLine;
}

void FrameCatalogBuilder::record(AnalysisFrameBoundaries::Step step, std::uint8_t block,
                                 std::int64_t filePosition, std::int64_t timeUs, bool opens) {
    if (opens && m_KeepSpans) {
        m_Open.filePosition = filePosition;
        m_Open.firstPacket = m_Catalog.packets;
        m_Open.firstBlock = block;
    }
    if (step == AnalysisFrameBoundaries::Step::Capped) {
        ++m_FramesCapped;
    } else if (step == AnalysisFrameBoundaries::Step::Ends) {
        ++m_Frames;
        if (!m_KeepSpans) return;
        m_Open.lastPacket = m_Catalog.packets;
        m_Open.lastBlock = block;
        m_Open.timeUs = timeUs;
        m_Catalog.frames.push_back(m_Open);
    }
}

int FrameCatalogBuilder::addPacket(const std::uint8_t* payload, std::size_t length,
                                   std::int64_t filePosition, std::int64_t timeUs) {
    if (!isSensorPayload(payload, length, m_Catalog.singleLine)) {
        if (isSensorPayload(payload, length, !m_Catalog.singleLine)) ++m_Catalog.otherKindPackets;
        return 0;
    }
    const std::uint64_t before = m_Frames;
    if (m_Catalog.singleLine) {
        const float start = singleLineStartAzimuth(payload);
        if (singleLineFrameEnds(start)) ++m_Catalog.sliderFrames;
        const bool opens = !m_Boundaries.frameOpen();
        record(m_Boundaries.addSingleLinePacket(start), 0, filePosition, timeUs, opens);
    } else {
        for (std::size_t b = 0; b < kBlockCount; ++b) {
            const double a = blockAzimuth(rawBlockAzimuth(payload, b));
            if (azimuthWraps(m_SliderPrevious, a)) ++m_Catalog.sliderFrames;
            m_SliderPrevious = a;
            const bool opens = !m_Boundaries.frameOpen();
            record(m_Boundaries.addBlock(a), static_cast<std::uint8_t>(b), filePosition, timeUs,
                   opens);
        }
    }
    ++m_Catalog.packets;
    return static_cast<int>(m_Frames - before);
}

FrameCatalog FrameCatalogBuilder::take() {
    FrameCatalog out = std::move(m_Catalog);
    m_Catalog = FrameCatalog();
    m_Catalog.singleLine = out.singleLine;
    m_Frames = 0;
    m_FramesCapped = 0;
    m_Boundaries.reset();
    m_SliderPrevious = 0.0;
    return out;
}

std::size_t sliderFrameCount(const std::uint8_t* const* packets, std::size_t count,
                             bool singleLine) {
    FrameCatalogBuilder builder(singleLine, false);
    const std::size_t length = sensorPayloadSize(singleLine);
    for (std::size_t p = 0; p < count; ++p) builder.addPacket(packets[p], length);
    return static_cast<std::size_t>(builder.catalog().sliderFrames);
}

void decodeFrame(const FrameSpan& span, const std::uint8_t* const* packets, bool singleLine,
                 LidarDataSingleLine& out) {
    out.clear();
    const std::uint64_t count = span.lastPacket - span.firstPacket + 1;
    if (singleLine) {
        for (std::uint64_t p = 0; p < count; ++p) appendSingleLinePacket(out, packets[p]);
        return;
    }
    // The analysis's steps for every block of the frame, then the last block's azimuths.
    constexpr int n = 30;
    const std::size_t blocks = static_cast<std::size_t>(count) * kBlockCount - span.firstBlock -
                               (kBlockCount - 1 - span.lastBlock);
    out.blockAngle.reserve(blocks);
    out.distance.reserve(blocks * n);
    out.intensity.reserve(blocks * n);
    out.timeStamp.reserve(blocks * n);
    out.pointAngle.reserve(blocks * n);
    for (std::uint64_t p = 0; p < count; ++p) {
        const int first = p == 0 ? span.firstBlock : 0;
        const int last = p + 1 == count ? span.lastBlock : static_cast<int>(kBlockCount) - 1;
        for (int b = first; b <= last; ++b) {
            appendBlock(out, packets[p], b, BlockLayout::ThirtyPoints);
            interpolatePreviousBlock(out, n);
        }
    }
    completeLastBlock(out, n);
}

std::vector<std::int64_t> frameTimesUs(const FrameCatalog& catalog) {
    std::vector<std::int64_t> times;
    times.reserve(catalog.frames.size());
    for (const FrameSpan& f : catalog.frames) times.push_back(f.timeUs);
    return times;
}

CatalogResult buildFrameCatalog(const std::string& path, bool singleLine,
                                const CaptureProgress& progress) {
    CatalogResult result;
    FrameCatalogBuilder builder(singleLine);
    const std::int64_t total = progress ? fileSizeOf(path) : -1;
    std::uint64_t sinceReport = 0;
    bool cancelled = progress && !progress(0, total);
    if (!cancelled) {
        result.status =
            // Both kinds, so that the builder counts those of the other kind.
            forEachSensorRecord(path, SensorKind::Either, [&](const SensorRecord& r) {
                builder.addPacket(r.payload, r.length, r.filePosition, recordTimeUs(r));
                if (progress && ++sinceReport >= 4096) {
                    sinceReport = 0;
                    if (!progress(r.filePosition, total)) {
                        cancelled = true;
                        return false;
                    }
                }
                return true;
            });
    }
    if (cancelled) {
        result.cancelled = true;
        result.status.complete = false;
        result.status.error = "cancelled";
    }
    result.catalog = builder.take();
    return result;
}

CaptureSummary summarizeCaptureFile(const std::string& path, bool singleLine,
                                    const CaptureProgress& progress) {
    CaptureSummary summary;
    FrameCatalogBuilder builder(singleLine, false);
    const std::int64_t total = progress ? fileSizeOf(path) : -1;
    bool cancelled = false;
    summary.status = forEachSensorRecord(path, SensorKind::Either, [&](const SensorRecord& r) {
        builder.addPacket(r.payload, r.length);
        if (progress && r.index % 256 == 0 && !progress(r.filePosition, total)) cancelled = true;
        return !cancelled;
    });
    if (cancelled) {
        summary.status.complete = false;
        summary.status.error = "cancelled";
    }
    summary.packets = builder.catalog().packets;
    summary.frames = builder.frames();
    summary.otherKindPackets = builder.catalog().otherKindPackets;
    return summary;
}

// ---- frames on demand ----

bool CaptureFrameSource::open(const std::string& path, const FrameCatalog* catalog,
                              std::string* error) {
    m_Catalog = nullptr;
    if (catalog == nullptr) {
        if (error) *error = "no frame catalog";
        return false;
    }
    if (!m_Reader.open(path, sensorKind(catalog->singleLine), kFrameReadBuffer)) {
        if (error) *error = m_Reader.error();
        return false;
    }
    m_Catalog = catalog;
    return true;
}

void CaptureFrameSource::close() {
    m_Reader.close();
    m_Catalog = nullptr;
    m_Bytes.clear();
    m_Bytes.shrink_to_fit();
}

bool CaptureFrameSource::decode(std::size_t frame, LidarDataSingleLine& out, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (m_Catalog == nullptr || !m_Reader.isOpen()) return fail("no capture file open");
    if (frame >= m_Catalog->frames.size()) return fail("no such frame");
    const FrameSpan& span = m_Catalog->frames[frame];
    if (span.lastPacket < span.firstPacket) return fail("damaged frame catalog");
    const std::size_t payload = sensorPayloadSize(m_Catalog->singleLine);
    const std::uint64_t count = span.lastPacket - span.firstPacket + 1;
    if (!m_Reader.seek(span.filePosition, span.firstPacket)) return fail(m_Reader.error());
    m_Bytes.resize(static_cast<std::size_t>(count) * payload);
    SensorRecord r;
    for (std::uint64_t p = 0; p < count; ++p) {
        const SensorRecordReader::Result res = m_Reader.next(r);
        if (res != SensorRecordReader::Result::Packet || r.index != span.firstPacket + p ||
            r.length != payload)
            return fail(res == SensorRecordReader::Result::Error
                            ? m_Reader.error()
                            : "the capture file changed since it was opened");
        std::copy(r.payload, r.payload + payload,
                  m_Bytes.begin() + static_cast<std::ptrdiff_t>(p * payload));
    }
    std::vector<const std::uint8_t*> packets(static_cast<std::size_t>(count));
    for (std::size_t p = 0; p < packets.size(); ++p) packets[p] = m_Bytes.data() + p * payload;
    decodeFrame(span, packets.data(), m_Catalog->singleLine, out);
    return true;
}

}  // namespace k740
