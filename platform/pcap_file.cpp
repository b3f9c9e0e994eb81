// Capture-file reader over the capture library's offline reader.
#include "platform/pcap_file.h"

#include <pcap/pcap.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace k740 {

namespace {
constexpr std::size_t kRecordHeaderSize = 16;  // classic pcap: seconds, fraction, caplen, len
}  // namespace

PcapFileReader::~PcapFileReader() { close(); }

// Records are read one by one with small reads; a large stream buffer keeps the number of
// system calls down on big files, a small one keeps seeks cheap.
bool PcapFileReader::open(const std::string& path, std::size_t streamBuffer) {
    close();
    error_.clear();
    records_ = 0;
    char errbuf[PCAP_ERRBUF_SIZE] = {0};
#ifdef _WIN32
    handle_ = pcap_open_offline_with_tstamp_precision(path.c_str(), PCAP_TSTAMP_PRECISION_NANO, errbuf);
#else
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error_ = std::strerror(errno);  // missing file, no permission, ...
        return false;
    }
    if (streamBuffer < 4096) streamBuffer = 4096;
    streamBuffer_.reset(new char[streamBuffer]);
    std::setvbuf(file, streamBuffer_.get(), _IOFBF, streamBuffer);
    // Classic pcap records are a 16-byte header and their bytes, so the position can be
    // counted instead of asked for (asking costs a system call per record); pcapng blocks
    // carry options and padding, so there the stream is asked.
    std::uint8_t magic[4] = {0, 0, 0, 0};
    const bool pcapng = ::pread(fileno(file), magic, 4, 0) == 4 && magic[0] == 0x0A && magic[1] == 0x0D &&
                        magic[2] == 0x0D && magic[3] == 0x0A;
    handle_ = pcap_fopen_offline_with_tstamp_precision(file, PCAP_TSTAMP_PRECISION_NANO, errbuf);
    if (handle_ != nullptr) {
        countPosition_ = !pcapng;
        position_ = static_cast<std::int64_t>(ftello(file));
    }
    if (handle_ == nullptr) {
        std::fclose(file);  // on failure the library leaves the stream to us
        streamBuffer_.reset();
    }
#endif
    if (handle_ == nullptr) {
        error_ = errbuf[0] != '\0' ? errbuf : "cannot open capture file";
        return false;
    }
    return true;
}

void PcapFileReader::close() {
    if (handle_ != nullptr) {
        pcap_close(handle_);  // closes the stream too
        handle_ = nullptr;
    }
    streamBuffer_.reset();
    countPosition_ = false;
    position_ = -1;
}

PcapFileReader::Result PcapFileReader::next(CaptureRecord& record) {
    if (handle_ == nullptr) {
        if (error_.empty()) error_ = "capture file not open";
        return Result::Error;
    }
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    const int rc = pcap_next_ex(handle_, &header, &data);
    if (rc == 1) {
#ifndef _WIN32
        if (countPosition_) {
            position_ += static_cast<std::int64_t>(kRecordHeaderSize + header->caplen);
            // A record longer than the file's snapshot length is cut to it by the library,
            // which skips the rest in the file: count no further, ask the stream.
            if (static_cast<int>(header->caplen) >= pcap_snapshot(handle_)) position_ = ftello(pcap_file(handle_));
        }
#endif
        record.data = data;
        record.capturedLength = header->caplen;
        record.originalLength = header->len;
        record.seconds = static_cast<std::int64_t>(header->ts.tv_sec);
        // With nanosecond precision the library puts nanoseconds into tv_usec.
        record.nanoseconds = static_cast<std::uint32_t>(header->ts.tv_usec);
        ++records_;
        return Result::Record;
    }
    if (rc == PCAP_ERROR_BREAK) return Result::End;  // -2: no more records
    error_ = pcap_geterr(handle_);
    if (error_.empty()) error_ = "error reading capture file";
    return Result::Error;
}

std::int64_t PcapFileReader::position() const {
#ifdef _WIN32
    return -1;
#else
    if (handle_ == nullptr) return -1;
    if (countPosition_) return position_;
    std::FILE* file = pcap_file(handle_);
    return file != nullptr ? static_cast<std::int64_t>(ftello(file)) : -1;
#endif
}

bool PcapFileReader::seek(std::int64_t position) {
#ifndef _WIN32
    // The library reads records straight from the stream with no read-ahead of its own, so
    // moving the stream moves the reader.
    std::FILE* file = handle_ != nullptr ? pcap_file(handle_) : nullptr;
    if (file != nullptr && position >= 0 && fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0) {
        position_ = position;
        return true;
    }
#endif
    error_ = "cannot move to the requested record of the capture file";
    return false;
}

int PcapFileReader::linkType() const { return handle_ != nullptr ? pcap_datalink(handle_) : -1; }

}  // namespace k740
