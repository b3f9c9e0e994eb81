// Decoding throughput: protocol-1 data packets turned into frames by the live assembly and
// by the capture-file analysis, on one core, from packets generated in memory.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "acquisition/frame_assembler.h"
#include "acquisition/packet_format.h"

namespace {

constexpr double kBlockStepDeg = 0.337;  // azimuth advance per block at 10 Hz and 1200 blocks a turn
constexpr std::size_t kPacketsInMemory = 8192;  // about 92 turns

// Packets as the sensor sends them: twelve blocks FF EE, azimuth advancing 0.337 degrees a
// block and wrapping at 360, 32 records of varied distance and intensity, a time stamp in
// microseconds advancing 663 per packet.
std::vector<std::uint8_t> makePackets(std::size_t count) {
    std::vector<std::uint8_t> bytes(count * k740::kDataPacketSize, 0);
    std::mt19937 rng(2368);
    double azimuth = 0.0;
    std::uint32_t time = 1000000;
    for (std::size_t p = 0; p < count; ++p) {
        std::uint8_t* pkt = bytes.data() + p * k740::kDataPacketSize;
        for (std::size_t b = 0; b < k740::kBlockCount; ++b) {
            std::uint8_t* block = pkt + b * k740::kBlockSize;
            block[0] = k740::kBlockFlag0;
            block[1] = k740::kBlockFlag1;
            k740::writeLE16(block + k740::kBlockAzimuthOffset, static_cast<std::uint16_t>(std::lround(azimuth * 100.0) % 36000));
            azimuth += kBlockStepDeg;
            if (azimuth >= 360.0) azimuth -= 360.0;
            for (std::size_t c = 0; c < k740::kRecordsPerBlock; ++c) {
                std::uint8_t* rec = block + k740::kFirstRecordOffset + c * k740::kRecordSize;
                k740::writeLE16(rec, static_cast<std::uint16_t>(200 + rng() % 60000));
                rec[2] = static_cast<std::uint8_t>(rng());
            }
        }
        k740::writeLE32(pkt + k740::kTimeStampOffset, time);
        time += 663;
    }
    return bytes;
}

struct Tally {
    std::size_t frames = 0;
    std::size_t points = 0;
    double checksum = 0;  // keeps the work observable
    void take(const LidarDataSingleLine& f) {
        ++frames;
        points += f.pointAngle.size();
        if (!f.pointAngle.empty()) checksum += f.pointAngle.back() + f.distance.front();
    }
};

using Clock = std::chrono::steady_clock;

struct Result {
    double seconds = 0;
    std::size_t packets = 0;
    Tally tally;
};

template <typename Feed>
Result timeRun(const std::vector<std::uint8_t>& bytes, std::size_t packets, Feed feed) {
    Result r;
    r.packets = packets;
    const std::size_t inMemory = bytes.size() / k740::kDataPacketSize;
    const auto t0 = Clock::now();
    for (std::size_t i = 0; i < packets; ++i) feed(bytes.data() + (i % inMemory) * k740::kDataPacketSize, r.tally);
    r.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    return r;
}

void report(const char* name, std::vector<Result> runs) {
    std::sort(runs.begin(), runs.end(), [](const Result& a, const Result& b) { return a.seconds < b.seconds; });
    const Result& best = runs.front();
    const Result& median = runs[runs.size() / 2];
    const double bestRate = best.packets / best.seconds;
    const double medianRate = median.packets / median.seconds;
    std::printf("%-34s %10.0f packets/s best, %10.0f median  (%6.0f ns/packet, %.1f M points/s, %zu frames, "
                "%zu points/frame)\n",
                name, bestRate, medianRate, 1e9 / bestRate, bestRate * (double(best.tally.points) / best.packets) / 1e6,
                best.tally.frames, best.tally.frames ? best.tally.points / best.tally.frames : 0);
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t packets = 2000000;
    int repeats = 5;
    if (argc > 1) packets = static_cast<std::size_t>(std::strtoull(argv[1], nullptr, 10));
    if (argc > 2) repeats = std::max(1, std::atoi(argv[2]));
    const std::vector<std::uint8_t> bytes = makePackets(kPacketsInMemory);
    std::printf("decoding %zu protocol-1 data packets per run, %d runs, one thread\n", packets, repeats);

    std::vector<Result> live, analysis, dual;
    for (int rep = 0; rep < repeats; ++rep) {
        {
            Tally* sinkTally = nullptr;
            k740::LiveFrameAssembler assembler([&](LidarDataSingleLine&& f) { sinkTally->take(f); });
            Tally warm;
            sinkTally = &warm;
            // The requested protocol applies from the first boundary: warm up past it.
            for (std::size_t i = 0; i < 200; ++i)
                assembler.addDataPacket(bytes.data() + i * k740::kDataPacketSize, k740::kStrongEcho, k740::kProtocol17);
            live.push_back(timeRun(bytes, packets, [&](const std::uint8_t* p, Tally& t) {
                sinkTally = &t;
                assembler.addDataPacket(p, k740::kStrongEcho, k740::kProtocol17);
            }));
        }
        {
            k740::CaptureFrameAnalyzer analyzer(false);
            analysis.push_back(timeRun(bytes, packets, [&](const std::uint8_t* p, Tally& t) {
                analyzer.addPacket(p, k740::kDataPacketSize, [&t](LidarDataSingleLine&& f) { t.take(f); });
            }));
        }
        {
            Tally* sinkTally = nullptr;
            k740::LiveFrameAssembler assembler([&](LidarDataSingleLine&& f) { sinkTally->take(f); });
            dual.push_back(timeRun(bytes, packets, [&](const std::uint8_t* p, Tally& t) {
                sinkTally = &t;
                assembler.addDataPacket(p, k740::kDualEcho, k740::kProtocol17);
            }));
        }
    }
    report("live assembly, strong echo", live);
    report("capture-file analysis", analysis);
    report("live assembly, dual echo", dual);
    double sum = 0;
    for (const Result& r : live) sum += r.tally.checksum;
    std::printf("(checksum %.3f)\n", sum);
    return 0;
}
