// Writes a large classic-pcap capture for the capture-reading benchmark: sensor data packets
// (1248-byte records) mixed with other traffic, as a recording from the field looks.
// Prints the sensor packet and frame counts the capture-file rules give, for checking.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "acquisition/packet_format.h"
#include "playback/capture_index.h"

namespace {

constexpr std::size_t kPcapHeaderSize = 24;
constexpr std::size_t kRecordHeaderSize = 16;
constexpr std::uint32_t kBlockStepHundredths = 34;  // ~0.337 degrees a block, 0.34 here

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    std::uint8_t b[4];
    k740::writeLE32(b, v);
    out.insert(out.end(), b, b + 4);
}

// Ethernet, IPv4 and UDP headers (42 bytes) for a payload of `length` bytes.
void udpHeader(std::uint8_t* f, std::size_t length, std::uint16_t dstPort) {
    static const std::uint8_t eth[14] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x60, 0x76, 0x88, 0x00, 0x00, 0x01, 0x08, 0x00};
    std::memcpy(f, eth, sizeof eth);
    std::uint8_t* ip = f + 14;
    std::memset(ip, 0, 20);
    ip[0] = 0x45;
    k740::writeBE16(ip + 2, static_cast<std::uint16_t>(28 + length));
    ip[8] = 64;
    ip[9] = 17;
    const std::uint8_t src[4] = {192, 168, 1, 222}, dst[4] = {192, 168, 1, 102};
    std::memcpy(ip + 12, src, 4);
    std::memcpy(ip + 16, dst, 4);
    std::uint8_t* udp = ip + 20;
    k740::writeBE16(udp, 2368);
    k740::writeBE16(udp + 2, dstPort);
    k740::writeBE16(udp + 4, static_cast<std::uint16_t>(8 + length));
    k740::writeBE16(udp + 6, 0);
}

}  // namespace

int main(int argc, char** argv) {
    const char* usage = "usage: bench_make_capture OUT.pcap [SIZE_MB (default 512)]\n";
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return 0;
    }
    // A name that starts with a dash is an option mistyped, not a file to fill with half a
    // gigabyte; a size that is not a positive number is refused the same way.
    char* end = nullptr;
    const unsigned long long asked = argc > 2 ? std::strtoull(argv[2], &end, 10) : 512;
    if (argc < 2 || argc > 3 || argv[1][0] == '-' || (argc > 2 && (*end != '\0' || asked == 0))) {
        std::fputs(usage, stderr);
        return 2;
    }
    const char* path = argv[1];
    const std::uint64_t sizeMb = asked;
    const std::uint64_t target = sizeMb * 1024 * 1024;
    std::FILE* f = std::fopen(path, "wb");
    if (!f) {
        std::perror(path);
        return 1;
    }
    static char streamBuffer[1 << 20];
    std::setvbuf(f, streamBuffer, _IOFBF, sizeof streamBuffer);

    std::vector<std::uint8_t> out;
    out.reserve(kPcapHeaderSize);
    put32(out, 0xA1B2C3D4);
    out.push_back(2), out.push_back(0), out.push_back(4), out.push_back(0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 65535);
    put32(out, 1);
    std::fwrite(out.data(), 1, out.size(), f);
    std::uint64_t written = out.size();

    std::uint8_t frame[2048];
    std::uint32_t seconds = 1700000000, micros = 0;
    std::uint32_t azimuth = 0;  // hundredths of a degree
    std::uint32_t sensorTime = 0;
    std::uint32_t lcg = 12345;
    std::uint64_t records = 0, sensorPackets = 0;
    k740::FrameCatalogBuilder counter(false, false);  // counts only

    auto writeRecord = [&](std::size_t caplen) {
        std::uint8_t h[kRecordHeaderSize];
        k740::writeLE32(h, seconds);
        k740::writeLE32(h + 4, micros);
        k740::writeLE32(h + 8, static_cast<std::uint32_t>(caplen));
        k740::writeLE32(h + 12, static_cast<std::uint32_t>(caplen));
        std::fwrite(h, 1, sizeof h, f);
        std::fwrite(frame, 1, caplen, f);
        written += sizeof h + caplen;
        ++records;
        micros += 55;
        if (micros >= 1000000) {
            micros -= 1000000;
            ++seconds;
        }
    };

    while (written < target) {
        const std::uint64_t n = records;
        if (n % 97 == 50) {
            // Position packet on another port.
            udpHeader(frame, 512, 8308);
            std::memset(frame + 42, static_cast<int>(n & 0xFF), 512);
            writeRecord(42 + 512);
        } else if (n % 1009 == 3) {
            // Device information packet on the device port: 1248 bytes, but not FF EE.
            udpHeader(frame, k740::kDataPacketSize, 2369);
            std::memset(frame + 42, 0, k740::kDataPacketSize);
            std::memcpy(frame + 42, k740::kDeviceHeader, sizeof k740::kDeviceHeader);
            writeRecord(k740::kCaptureDataRecordSize);
        } else if (n % 211 == 7) {
            // ARP and other small frames.
            std::memset(frame, 0x5A, 60);
            writeRecord(60);
        } else {
            udpHeader(frame, k740::kDataPacketSize, 2368);
            std::uint8_t* pkt = frame + 42;
            for (std::size_t b = 0; b < k740::kBlockCount; ++b) {
                std::uint8_t* block = pkt + b * k740::kBlockSize;
                block[0] = k740::kBlockFlag0;
                block[1] = k740::kBlockFlag1;
                k740::writeLE16(block + k740::kBlockAzimuthOffset, static_cast<std::uint16_t>(azimuth));
                azimuth = (azimuth + kBlockStepHundredths) % 36000;
                for (std::size_t c = 0; c < k740::kRecordsPerBlock; ++c) {
                    lcg = lcg * 1664525u + 1013904223u;
                    std::uint8_t* rec = block + k740::kFirstRecordOffset + c * k740::kRecordSize;
                    k740::writeLE16(rec, static_cast<std::uint16_t>(lcg >> 16));
                    rec[2] = static_cast<std::uint8_t>(lcg >> 8);
                }
            }
            k740::writeLE32(pkt + k740::kTimeStampOffset, sensorTime);
            pkt[1204] = pkt[1205] = 0;
            sensorTime += 663;
            writeRecord(k740::kCaptureDataRecordSize);
            ++sensorPackets;
            counter.addPacket(pkt, k740::kDataPacketSize);
        }
    }
    if (std::fclose(f) != 0) {
        std::perror(path);
        return 1;
    }
    std::printf("file: %s\nbytes: %llu\nrecords: %llu\npackets: %llu\nframes: %llu\n", path,
                static_cast<unsigned long long>(written), static_cast<unsigned long long>(records),
                static_cast<unsigned long long>(sensorPackets), static_cast<unsigned long long>(counter.frames()));
    return 0;
}
