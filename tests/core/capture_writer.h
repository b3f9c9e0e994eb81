// Capture-file writers for tests: classic pcap in both byte orders with micro- or
// nanosecond time stamps, and pcapng; plus Ethernet/IPv4/UDP framing of sensor payloads.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "packet_writer.h"

namespace k740test {

struct TestRecord {
    std::vector<std::uint8_t> bytes;  // the captured bytes
    std::uint32_t originalLength = 0; // 0: same as the captured length
    std::uint32_t seconds = 1700000000;
    std::uint32_t nanoseconds = 0;    // micro formats keep nanoseconds / 1000
};

enum class CaptureFormat { PcapLittleMicro, PcapBigMicro, PcapLittleNano, PcapBigNano, PcapNg };

inline const char* formatName(CaptureFormat f) {
    switch (f) {
        case CaptureFormat::PcapLittleMicro: return "pcap-le-us";
        case CaptureFormat::PcapBigMicro: return "pcap-be-us";
        case CaptureFormat::PcapLittleNano: return "pcap-le-ns";
        case CaptureFormat::PcapBigNano: return "pcap-be-ns";
        case CaptureFormat::PcapNg: return "pcapng";
    }
    return "?";
}

class ByteSink {
public:
    explicit ByteSink(bool bigEndian) : big_(bigEndian) {}
    void u16(std::uint16_t v) {
        if (big_) { b(v >> 8); b(v); } else { b(v); b(v >> 8); }
    }
    void u32(std::uint32_t v) {
        if (big_) { for (int i = 3; i >= 0; --i) b(v >> (8 * i)); }
        else { for (int i = 0; i < 4; ++i) b(v >> (8 * i)); }
    }
    void bytes(const std::vector<std::uint8_t>& v) { out.insert(out.end(), v.begin(), v.end()); }
    void pad4() { while (out.size() % 4 != 0) b(0); }
    void b(std::uint32_t v) { out.push_back(static_cast<std::uint8_t>(v & 0xFF)); }
    // Writes v at an earlier position (block lengths known only at the end).
    void patch32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<std::uint8_t>(v >> (8 * (big_ ? 3 - i : i)));
    }
    std::vector<std::uint8_t> out;

private:
    bool big_;
};

// The file bytes; `recordEnds`, when given, receives the file offset just after each record
// (the global header and pcapng's section and interface blocks end at headerEnd).
inline std::vector<std::uint8_t> captureBytes(const std::vector<TestRecord>& records, CaptureFormat format,
                                              std::vector<std::size_t>* recordEnds = nullptr,
                                              std::size_t* headerEnd = nullptr, std::uint32_t linkType = 1) {
    const bool ng = format == CaptureFormat::PcapNg;
    const bool big = format == CaptureFormat::PcapBigMicro || format == CaptureFormat::PcapBigNano;
    const bool nano = format == CaptureFormat::PcapLittleNano || format == CaptureFormat::PcapBigNano;
    ByteSink s(big);
    if (!ng) {
        s.u32(nano ? 0xA1B23C4D : 0xA1B2C3D4);
        s.u16(2);
        s.u16(4);
        s.u32(0);      // time zone
        s.u32(0);      // accuracy
        s.u32(65535);  // snapshot length
        s.u32(linkType);
    } else {
        // Section header block.
        s.u32(0x0A0D0D0A);
        s.u32(28);
        s.u32(0x1A2B3C4D);
        s.u16(1);
        s.u16(0);
        s.u32(0xFFFFFFFF);  // section length unknown
        s.u32(0xFFFFFFFF);
        s.u32(28);
        // Interface description block with nanosecond resolution (if_tsresol = 9).
        s.u32(1);
        s.u32(32);
        s.u16(static_cast<std::uint16_t>(linkType));
        s.u16(0);
        s.u32(65535);
        s.u16(9);  // if_tsresol
        s.u16(1);
        s.b(9);
        s.pad4();
        s.u32(0);  // end of options
        s.u32(32);
    }
    if (headerEnd) *headerEnd = s.out.size();
    for (const TestRecord& r : records) {
        const std::uint32_t caplen = static_cast<std::uint32_t>(r.bytes.size());
        const std::uint32_t len = r.originalLength ? r.originalLength : caplen;
        if (!ng) {
            s.u32(r.seconds);
            s.u32(nano ? r.nanoseconds : r.nanoseconds / 1000);
            s.u32(caplen);
            s.u32(len);
            s.bytes(r.bytes);
        } else {
            const std::size_t start = s.out.size();
            const std::uint64_t ts = static_cast<std::uint64_t>(r.seconds) * 1000000000ull + r.nanoseconds;
            s.u32(6);  // enhanced packet block
            s.u32(0);  // length, patched below
            s.u32(0);  // interface 0
            s.u32(static_cast<std::uint32_t>(ts >> 32));
            s.u32(static_cast<std::uint32_t>(ts));
            s.u32(caplen);
            s.u32(len);
            s.bytes(r.bytes);
            s.pad4();
            const std::uint32_t total = static_cast<std::uint32_t>(s.out.size() - start + 4);
            s.u32(total);
            s.patch32(start + 4, total);
        }
        if (recordEnds) recordEnds->push_back(s.out.size());
    }
    return s.out;
}

inline bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// Ethernet II + IPv4 + UDP in front of a payload (42 bytes), optionally with an 802.1Q tag
// (46 bytes) as some switches add. Checksums are left 0: nothing here reads them.
template <typename Bytes>
std::vector<std::uint8_t> udpFrame(const Bytes& payload, std::uint16_t dstPort = 2368, bool vlanTag = false) {
    std::vector<std::uint8_t> f;
    const std::uint8_t dst[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const std::uint8_t src[6] = {0x60, 0x76, 0x88, 0x00, 0x00, 0x01};
    f.insert(f.end(), dst, dst + 6);
    f.insert(f.end(), src, src + 6);
    if (vlanTag) {
        f.push_back(0x81); f.push_back(0x00);
        f.push_back(0x00); f.push_back(0x05);
    }
    f.push_back(0x08); f.push_back(0x00);
    const std::size_t n = payload.size();
    const std::uint16_t ipLen = static_cast<std::uint16_t>(20 + 8 + n);
    const std::uint8_t ip[20] = {0x45, 0, static_cast<std::uint8_t>(ipLen >> 8), static_cast<std::uint8_t>(ipLen),
                                 0, 0, 0x40, 0, 64, 17, 0, 0, 127, 0, 0, 2, 127, 0, 0, 1};
    f.insert(f.end(), ip, ip + 20);
    const std::uint16_t udpLen = static_cast<std::uint16_t>(8 + n);
    const std::uint8_t udp[8] = {0x09, 0x40, static_cast<std::uint8_t>(dstPort >> 8), static_cast<std::uint8_t>(dstPort),
                                 static_cast<std::uint8_t>(udpLen >> 8), static_cast<std::uint8_t>(udpLen), 0, 0};
    f.insert(f.end(), udp, udp + 8);
    f.insert(f.end(), payload.begin(), payload.end());
    return f;
}

template <typename Bytes>
TestRecord udpRecord(const Bytes& payload, std::uint32_t nanoseconds = 0, bool vlanTag = false) {
    TestRecord r;
    r.bytes = udpFrame(payload, 2368, vlanTag);
    r.nanoseconds = nanoseconds;
    return r;
}

// `packets` data packets turning 25 degrees each (about 14 a frame), a microsecond apart.
inline std::vector<TestRecord> sweepRecords(int packets) {
    std::vector<TestRecord> records;
    for (int p = 0; p < packets; ++p)
        records.push_back(udpRecord(makeSweepPacket((30000 + 2500 * p) % 36000, 200), 1000 * p));
    return records;
}

}  // namespace k740test
