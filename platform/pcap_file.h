// Reading capture files record by record: classic pcap in either byte order, micro- or
// nanosecond time stamps, read straight from the file into one buffer and handed out in
// place; pcapng (and anything else) through the capture library's offline reader, where the
// build has the library (K740_HAVE_PCAP); without it such files are refused with a line
// that says so.
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
    bool isOpen() const { return m_Handle != nullptr || m_Fd >= 0; }
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
    // The file's snapshot length (records are at most this long), 0 when not open.
    std::uint32_t snapLength() const;
    // Whether the file's time stamps carry nanoseconds (classic pcap's nanosecond kind, and
    // every file read through the capture library); false for microsecond files.
    bool nanosecondTimeStamps() const;
    // Records returned so far.
    std::uint64_t recordsRead() const { return m_Records; }
    const std::string& error() const { return m_Error; }

private:
    bool openClassic(int fd, const std::uint8_t* header, std::size_t streamBuffer);
    bool openThroughLibrary(const std::string& path, int fd, std::size_t streamBuffer);
    Result nextClassic(CaptureRecord& record);
    // Makes `bytes` bytes from the read position on readable at m_Data; false at the end of
    // the file (m_Available tells how many there were) or a read error (m_Error set).
    bool fill(std::size_t bytes);

    // The capture library, for pcapng and whatever else is not classic pcap.
    pcap* m_Handle = nullptr;
    std::unique_ptr<char[]> m_StreamBuffer;  // holds the file stream's buffer, outlives the stream

    // Classic pcap read directly: the file, its header's rules, and the buffer of file bytes.
    int m_Fd = -1;
    bool m_Swapped = false;       // header fields in the other byte order
    bool m_Nanoseconds = false;   // time stamps' fraction in nanoseconds
    // Where a record header keeps its two lengths. Files before version 2.3 (and 543.0)
    // write the original length first; some 2.3 files do, some do not: there the captured
    // length is taken to be the smaller one, as the capture library does.
    enum class LengthOrder { CapturedFirst, OriginalFirst, Either };
    LengthOrder m_LengthOrder = LengthOrder::CapturedFirst;
    std::uint32_t m_Snaplen = 0;  // longer records are cut to this, as the library does
    int m_LinkType = -1;
    std::unique_ptr<std::uint8_t[]> m_Buffer;
    std::uint8_t* m_Chunk = nullptr;   // page-aligned start of the part reads go to
    std::size_t m_ChunkSize = 0;
    const std::uint8_t* m_Data = nullptr;  // unread bytes already in the buffer
    std::size_t m_Available = 0;
    std::int64_t m_ReadOffset = 0;         // file offset of the byte after them

    std::uint64_t m_Records = 0;
    std::int64_t m_Position = -1;
    std::string m_Error;
};

}  // namespace k740
