// Capture-file reader: classic pcap read straight from the file, everything else (pcapng)
// through the capture library's offline reader where the build has the library.
#include "platform/pcap_file.h"

#if K740_HAVE_PCAP
#include <pcap/pcap.h>
#endif
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif
#ifdef __GLIBC__
#include <stdio_ext.h>
#endif

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

namespace k740 {

namespace {
constexpr std::size_t kFileHeaderSize = 24;    // classic pcap: magic, version, zone, snaplen, link
constexpr std::size_t kRecordHeaderSize = 16;  // classic pcap: seconds, fraction, caplen, len
// The longest record the capture library accepts (its limit for Ethernet and most links);
// a longer one marks a damaged file.
constexpr std::uint32_t kMaxCapturedLength = 262144;
// The stream's buffer starts on a page boundary: the kernel copies file data into a buffer
// that is not page-aligned several times slower.
constexpr std::size_t kPageSize = 4096;

template <class T>
T* pageAligned(T* p) {
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    return p + ((kPageSize - at % kPageSize) % kPageSize);
}

std::uint32_t read32(const std::uint8_t* p, bool swapped) {
    const std::uint32_t le = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                             std::uint32_t(p[3]) << 24;
    const std::uint32_t be = std::uint32_t(p[3]) | std::uint32_t(p[2]) << 8 | std::uint32_t(p[1]) << 16 |
                             std::uint32_t(p[0]) << 24;
    return swapped ? be : le;
}
std::uint16_t read16(const std::uint8_t* p, bool swapped) {
    return swapped ? std::uint16_t(p[0] << 8 | p[1]) : std::uint16_t(p[1] << 8 | p[0]);
}

// The file functions of the two systems. Names go to them as the narrow bytes they are given
// (on Windows those of the ANSI code page, GB2312 on Chinese Windows); reads take 64-bit
// offsets, so that files beyond 2 GiB read and seek everywhere.
int openForReading(const std::string& path) {
#ifdef _WIN32
    return ::_open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
#else
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
#endif
}

// Up to `bytes` bytes from `offset` on: the count read, 0 at the end, -1 with errno set.
long long readAt(int fd, void* buffer, std::size_t bytes, std::int64_t offset) {
#ifdef _WIN32
    if (::_lseeki64(fd, offset, SEEK_SET) < 0) return -1;
    return ::_read(fd, buffer, static_cast<unsigned>(std::min<std::size_t>(bytes, INT_MAX)));
#else
    ssize_t n;
    do {
        n = ::pread(fd, buffer, bytes, static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    return n;
#endif
}

void closeFile(int fd) {
#ifdef _WIN32
    ::_close(fd);
#else
    ::close(fd);
#endif
}

#if K740_HAVE_PCAP
std::int64_t streamPosition(std::FILE* file) {
#ifdef _WIN32
    return static_cast<std::int64_t>(::_ftelli64(file));
#else
    return static_cast<std::int64_t>(::ftello(file));
#endif
}

bool moveStream(std::FILE* file, std::int64_t position) {
#ifdef _WIN32
    return ::_fseeki64(file, position, SEEK_SET) == 0;
#else
    return ::fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}
#endif

bool isClassicMagic(std::uint32_t magic) {
    return magic == 0xA1B2C3D4u || magic == 0xD4C3B2A1u || magic == 0xA1B23C4Du || magic == 0x4D3CB2A1u;
}
constexpr std::uint32_t kPcapngMagic = 0x0A0D0D0Au;  // a section header block, either byte order
}  // namespace

PcapFileReader::~PcapFileReader() { close(); }

// A large buffer keeps the number of system calls down on big files, a small one keeps
// seeks cheap.
bool PcapFileReader::open(const std::string& path, std::size_t streamBuffer) {
    close();
    m_Error.clear();
    m_Records = 0;
    const int fd = openForReading(path);
    if (fd < 0) {
        m_Error = std::strerror(errno);  // missing file, no permission, ...
        return false;
    }
    std::uint8_t header[kFileHeaderSize];
    const long long got = readAt(fd, header, sizeof header, 0);
    if (got == static_cast<long long>(sizeof header) && isClassicMagic(read32(header, false)))
        return openClassic(fd, header, streamBuffer);
#if K740_HAVE_PCAP
    return openThroughLibrary(path, fd, streamBuffer);
#else
    const int readError = errno;
    closeFile(fd);
    if (got < 0)
        m_Error = std::string("error reading capture file: ") + std::strerror(readError);
    else if (got >= 4 && read32(header, false) == kPcapngMagic)
        m_Error = "pcapng files need libpcap, which this build lacks";
    else
        m_Error = "not a classic pcap file (other capture formats need libpcap, which this build lacks)";
    return false;
#endif
}

#if K740_HAVE_PCAP
bool PcapFileReader::openThroughLibrary(const std::string& path, int fd, std::size_t streamBuffer) {
    char errbuf[PCAP_ERRBUF_SIZE] = {0};
#ifdef _WIN32
    // The library's stream comes from the C runtime it shares with the program (the universal
    // one): it opens the file by name, and its stream is asked for positions.
    (void)streamBuffer;
    closeFile(fd);
    m_Handle = pcap_open_offline_with_tstamp_precision(path.c_str(), PCAP_TSTAMP_PRECISION_NANO, errbuf);
    if (m_Handle != nullptr && pcap_file(m_Handle) != nullptr) m_Position = streamPosition(pcap_file(m_Handle));
#else
    (void)path;
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        m_Error = std::strerror(errno);
        closeFile(fd);
        return false;
    }
    if (streamBuffer < kPageSize) streamBuffer = kPageSize;
    m_StreamBuffer.reset(new char[streamBuffer + kPageSize]);
    std::setvbuf(file, pageAligned(m_StreamBuffer.get()), _IOFBF, streamBuffer);
#ifdef __GLIBC__
    // Only the library reads this stream, on one thread: no lock around every record.
    __fsetlocking(file, FSETLOCKING_BYCALLER);
#endif
    // pcapng blocks carry options and padding: the stream is asked for the position.
    m_Handle = pcap_fopen_offline_with_tstamp_precision(file, PCAP_TSTAMP_PRECISION_NANO, errbuf);
    if (m_Handle != nullptr) m_Position = streamPosition(file);
    if (m_Handle == nullptr) {
        std::fclose(file);  // on failure the library leaves the stream to us
        m_StreamBuffer.reset();
    }
#endif
    if (m_Handle == nullptr) {
        m_Error = errbuf[0] != '\0' ? errbuf : "cannot open capture file";
        return false;
    }
    return true;
}
#endif

void PcapFileReader::close() {
#if K740_HAVE_PCAP
    if (m_Handle != nullptr) {
        pcap_close(m_Handle);  // closes the stream too
        m_Handle = nullptr;
    }
#endif
    m_StreamBuffer.reset();
    m_Position = -1;
    if (m_Fd >= 0) closeFile(m_Fd);
    m_Fd = -1;
    m_Buffer.reset();
    m_Chunk = nullptr;
    m_Data = nullptr;
    m_Available = 0;
    m_LinkType = -1;
}

bool PcapFileReader::openClassic(int fd, const std::uint8_t* header, std::size_t streamBuffer) {
    const std::uint32_t magic = read32(header, false);
    m_Swapped = magic == 0xD4C3B2A1u || magic == 0x4D3CB2A1u;
    m_Nanoseconds = magic == 0xA1B23C4Du || magic == 0x4D3CB2A1u;
    // The versions the capture library reads: 2.0 to 2.4, and 543.0 (written by DG/UX tcpdump).
    const unsigned major = read16(header + 4, m_Swapped);
    const unsigned minor = read16(header + 6, m_Swapped);
    if (!((major == 2 && minor <= 4) || (major == 543 && minor == 0))) {
        closeFile(fd);
        m_Error = "unsupported capture file version " + std::to_string(major) + "." + std::to_string(minor) +
                  " (versions 2.0 to 2.4 and 543.0 can be read)";
        return false;
    }
    // The two lengths of a record header changed places at version 2.3.
    if (major == 543 || minor < 3)
        m_LengthOrder = LengthOrder::OriginalFirst;
    else if (minor == 3)
        m_LengthOrder = LengthOrder::Either;
    else
        m_LengthOrder = LengthOrder::CapturedFirst;
    m_Snaplen = read32(header + 16, m_Swapped);
    if (m_Snaplen == 0 || m_Snaplen > kMaxCapturedLength) m_Snaplen = kMaxCapturedLength;
    m_LinkType = static_cast<int>(read32(header + 20, m_Swapped) & 0x03FFFFFFu);
    // Reads land page-aligned in the chunk; the part of a record left over from the chunk
    // before moves in front of it, into room for the longest record.
    m_ChunkSize = std::max<std::size_t>(streamBuffer, kPageSize);
    const std::size_t front = (kRecordHeaderSize + kMaxCapturedLength + kPageSize - 1) / kPageSize * kPageSize;
    m_Buffer.reset(new std::uint8_t[front + m_ChunkSize + kPageSize]);
    m_Chunk = pageAligned(m_Buffer.get()) + front;
    m_Fd = fd;
    m_Data = m_Chunk;
    m_Available = 0;
    m_ReadOffset = static_cast<std::int64_t>(kFileHeaderSize);
    m_Position = m_ReadOffset;
    return true;
}

bool PcapFileReader::fill(std::size_t bytes) {
    while (m_Available < bytes) {
        // What is left moves in front of the chunk, so that the record stays in one piece.
        std::uint8_t* start = m_Chunk - m_Available;
        if (m_Available > 0 && m_Data != start) std::memmove(start, m_Data, m_Available);
        m_Data = start;
        const long long n = readAt(m_Fd, m_Chunk, m_ChunkSize, m_ReadOffset);
        if (n < 0) {
            m_Error = std::string("error reading capture file: ") + std::strerror(errno);
            return false;
        }
        if (n == 0) return false;
        m_ReadOffset += n;
        m_Available += static_cast<std::size_t>(n);
    }
    return true;
}

PcapFileReader::Result PcapFileReader::nextClassic(CaptureRecord& record) {
    m_Error.clear();
    if (!fill(kRecordHeaderSize)) {
        if (!m_Error.empty()) return Result::Error;
        if (m_Available == 0) return Result::End;
        m_Error = "truncated capture file: a record header needs " + std::to_string(kRecordHeaderSize) +
                  " bytes, " + std::to_string(m_Available) + " remain";
        return Result::Error;
    }
    const std::uint8_t* h = m_Data;
    std::uint32_t caplen = read32(h + 8, m_Swapped);
    std::uint32_t origlen = read32(h + 12, m_Swapped);
    if (m_LengthOrder == LengthOrder::OriginalFirst ||
        (m_LengthOrder == LengthOrder::Either && caplen > origlen))
        std::swap(caplen, origlen);
    if (caplen > kMaxCapturedLength) {
        m_Error = "invalid record length " + std::to_string(caplen) + ", bigger than the maximum of " +
                  std::to_string(kMaxCapturedLength);
        return Result::Error;
    }
    if (!fill(kRecordHeaderSize + caplen)) {
        if (!m_Error.empty()) return Result::Error;
        m_Error = "truncated capture file: a record of " + std::to_string(caplen) + " bytes, " +
                  std::to_string(m_Available - kRecordHeaderSize) + " remain";
        return Result::Error;
    }
    h = m_Data;
    record.data = h + kRecordHeaderSize;
    record.capturedLength = std::min(caplen, m_Snaplen);  // cut to the file's snapshot length
    record.originalLength = origlen;
    record.seconds = static_cast<std::int64_t>(read32(h, m_Swapped));
    const std::uint32_t fraction = read32(h + 4, m_Swapped);
    record.nanoseconds = m_Nanoseconds ? fraction : fraction * 1000u;
    m_Data += kRecordHeaderSize + caplen;
    m_Available -= kRecordHeaderSize + caplen;
    m_Position += static_cast<std::int64_t>(kRecordHeaderSize + caplen);
    ++m_Records;
    return Result::Record;
}

PcapFileReader::Result PcapFileReader::next(CaptureRecord& record) {
    if (m_Fd >= 0) return nextClassic(record);
#if K740_HAVE_PCAP
    if (m_Handle == nullptr) {
        if (m_Error.empty()) m_Error = "capture file not open";
        return Result::Error;
    }
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    const int rc = pcap_next_ex(m_Handle, &header, &data);
    if (rc == 1) {
        record.data = data;
        record.capturedLength = header->caplen;
        record.originalLength = header->len;
        record.seconds = static_cast<std::int64_t>(header->ts.tv_sec);
        // With nanosecond precision the library puts nanoseconds into tv_usec.
        record.nanoseconds = static_cast<std::uint32_t>(header->ts.tv_usec);
        ++m_Records;
        return Result::Record;
    }
    if (rc == PCAP_ERROR_BREAK) return Result::End;  // -2: no more records
    m_Error = pcap_geterr(m_Handle);
    if (m_Error.empty()) m_Error = "error reading capture file";
    return Result::Error;
#else
    if (m_Error.empty()) m_Error = "capture file not open";
    return Result::Error;
#endif
}

std::int64_t PcapFileReader::position() const {
    if (m_Fd >= 0) return m_Position;  // classic pcap: counted record by record
#if K740_HAVE_PCAP
    std::FILE* file = m_Handle != nullptr ? pcap_file(m_Handle) : nullptr;
    if (file != nullptr) return streamPosition(file);
#endif
    return -1;
}

bool PcapFileReader::seek(std::int64_t position) {
    if (m_Fd >= 0) {
        if (position < static_cast<std::int64_t>(kFileHeaderSize)) {
            m_Error = "cannot move to the requested record of the capture file";
            return false;
        }
        m_Data = m_Chunk;
        m_Available = 0;
        m_ReadOffset = position;
        m_Position = position;
        return true;
    }
#if K740_HAVE_PCAP
    // The library reads records straight from the stream with no read-ahead of its own, so
    // moving the stream moves the reader.
    std::FILE* file = m_Handle != nullptr ? pcap_file(m_Handle) : nullptr;
    if (file != nullptr && position >= 0 && moveStream(file, position)) {
        m_Position = position;
        return true;
    }
#endif
    m_Error = "cannot move to the requested record of the capture file";
    return false;
}

int PcapFileReader::linkType() const {
    if (m_Fd >= 0) return m_LinkType;
#if K740_HAVE_PCAP
    if (m_Handle != nullptr) return pcap_datalink(m_Handle);
#endif
    return -1;
}

std::uint32_t PcapFileReader::snapLength() const {
    if (m_Fd >= 0) return m_Snaplen;
#if K740_HAVE_PCAP
    if (m_Handle != nullptr) return static_cast<std::uint32_t>(pcap_snapshot(m_Handle));
#endif
    return 0;
}

bool PcapFileReader::nanosecondTimeStamps() const {
    if (m_Fd >= 0) return m_Nanoseconds;
    return m_Handle != nullptr;  // opened at nanosecond precision
}

}  // namespace k740
