// Reading capture files record by record through the capture library's offline reader:
// classic pcap in either byte order, micro- or nanosecond time stamps, and pcapng.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct pcap;

namespace k740 {

// One record of a capture file. The bytes stay valid until the next call to next() or
// close(); callers copy what they keep.
struct CaptureRecord {
    const std::uint8_t* data = nullptr;
    std::uint32_t capturedLength = 0;  // bytes present in the file
    std::uint32_t originalLength = 0;  // bytes on the wire
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;     // time stamps are always read at nanosecond resolution
};

class PcapFileReader {
public:
    enum class Result { Record, End, Error };

    PcapFileReader() = default;
    ~PcapFileReader();
    PcapFileReader(const PcapFileReader&) = delete;
    PcapFileReader& operator=(const PcapFileReader&) = delete;

    // Opens a capture file; false with error() set when it is missing, unreadable or not a
    // capture file the library knows. streamBuffer is the size of the read buffer: large for
    // reading a whole file, small for reading a few records after a seek. The whole-file size
    // stays within the processor's second-level cache, where the kernel's copies land fastest.
    static constexpr std::size_t kWholeFileBuffer = 128 * 1024;
    bool open(const std::string& path, std::size_t streamBuffer = kWholeFileBuffer);
    bool isOpen() const { return m_Handle != nullptr; }
    void close();

    // Reads the next record. End at a clean end of file; Error for a damaged or truncated
    // file (error() says why); records read before stay valid results.
    Result next(CaptureRecord& record);

    // Position in the file where the next call to next() starts reading (-1 when unknown).
    // A position taken before a record and handed to seek() later reads that record again.
    std::int64_t position() const;
    // Moves to a position taken with position() in this file; false (error() set) when the
    // stream cannot move there. A file cut short since then reads as Error at that point.
    bool seek(std::int64_t position);

    // Link-layer type of the file (1 = Ethernet), -1 when not open.
    int linkType() const;
    // Records returned so far.
    std::uint64_t recordsRead() const { return m_Records; }
    const std::string& error() const { return m_Error; }

private:
    pcap* m_Handle = nullptr;
    std::unique_ptr<char[]> m_StreamBuffer;  // holds the file stream's buffer, outlives the stream
    std::uint64_t m_Records = 0;
    bool m_CountPosition = false;  // classic pcap: position counted record by record
    std::int64_t m_Position = -1;
    std::string m_Error;
};

}  // namespace k740
