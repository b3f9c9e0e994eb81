// Capture-file reader over the capture library's offline reader.
#include "platform/pcap_file.h"

#include <pcap/pcap.h>
#ifndef _WIN32
#include <unistd.h>
#endif
#ifdef __GLIBC__
#include <stdio_ext.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace k740 {

namespace {
constexpr std::size_t kRecordHeaderSize = 16;  // classic pcap: seconds, fraction, caplen, len
// The stream's buffer starts on a page boundary: the kernel copies file data into a buffer
// that is not page-aligned several times slower.
constexpr std::size_t kPageSize = 4096;

char* pageAligned(char* p) {
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    return p + ((kPageSize - at % kPageSize) % kPageSize);
}
}  // namespace

PcapFileReader::~PcapFileReader() { close(); }

// Records are read one by one with small reads; a large stream buffer keeps the number of
// system calls down on big files, a small one keeps seeks cheap.
bool PcapFileReader::open(const std::string& path, std::size_t streamBuffer) {
    close();
    m_Error.clear();
    m_Records = 0;
    char errbuf[PCAP_ERRBUF_SIZE] = {0};
#ifdef _WIN32
    m_Handle = pcap_open_offline_with_tstamp_precision(path.c_str(), PCAP_TSTAMP_PRECISION_NANO, errbuf);
#else
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        m_Error = std::strerror(errno);  // missing file, no permission, ...
        return false;
    }
    if (streamBuffer < kPageSize) streamBuffer = kPageSize;
    m_StreamBuffer.reset(new char[streamBuffer + kPageSize]);
    std::setvbuf(file, pageAligned(m_StreamBuffer.get()), _IOFBF, streamBuffer);
#ifdef __GLIBC__
    // Only the library reads this stream, on one thread: no lock around every record.
    __fsetlocking(file, FSETLOCKING_BYCALLER);
#endif
    // Classic pcap records are a 16-byte header and their bytes, so the position can be
    // counted instead of asked for (asking costs a system call per record); pcapng blocks
    // carry options and padding, so there the stream is asked.
    std::uint8_t magic[4] = {0, 0, 0, 0};
    const bool pcapng = ::pread(fileno(file), magic, 4, 0) == 4 && magic[0] == 0x0A && magic[1] == 0x0D &&
                        magic[2] == 0x0D && magic[3] == 0x0A;
    m_Handle = pcap_fopen_offline_with_tstamp_precision(file, PCAP_TSTAMP_PRECISION_NANO, errbuf);
    if (m_Handle != nullptr) {
        m_CountPosition = !pcapng;
        m_Position = static_cast<std::int64_t>(ftello(file));
    }
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

void PcapFileReader::close() {
    if (m_Handle != nullptr) {
        pcap_close(m_Handle);  // closes the stream too
        m_Handle = nullptr;
    }
    m_StreamBuffer.reset();
    m_CountPosition = false;
    m_Position = -1;
}

PcapFileReader::Result PcapFileReader::next(CaptureRecord& record) {
    if (m_Handle == nullptr) {
        if (m_Error.empty()) m_Error = "capture file not open";
        return Result::Error;
    }
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    const int rc = pcap_next_ex(m_Handle, &header, &data);
    if (rc == 1) {
#ifndef _WIN32
        if (m_CountPosition) {
            m_Position += static_cast<std::int64_t>(kRecordHeaderSize + header->caplen);
            // A record longer than the file's snapshot length is cut to it by the library,
            // which skips the rest in the file: count no further, ask the stream.
            if (static_cast<int>(header->caplen) >= pcap_snapshot(m_Handle)) m_Position = ftello(pcap_file(m_Handle));
        }
#endif
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
}

std::int64_t PcapFileReader::position() const {
#ifdef _WIN32
    return -1;
#else
    if (m_Handle == nullptr) return -1;
    if (m_CountPosition) return m_Position;
    std::FILE* file = pcap_file(m_Handle);
    return file != nullptr ? static_cast<std::int64_t>(ftello(file)) : -1;
#endif
}

bool PcapFileReader::seek(std::int64_t position) {
#ifndef _WIN32
    // The library reads records straight from the stream with no read-ahead of its own, so
    // moving the stream moves the reader.
    std::FILE* file = m_Handle != nullptr ? pcap_file(m_Handle) : nullptr;
    if (file != nullptr && position >= 0 && fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0) {
        m_Position = position;
        return true;
    }
#endif
    m_Error = "cannot move to the requested record of the capture file";
    return false;
}

int PcapFileReader::linkType() const { return m_Handle != nullptr ? pcap_datalink(m_Handle) : -1; }

}  // namespace k740
