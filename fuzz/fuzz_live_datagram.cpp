// Live datagram handling: the live frame assembler fed a stream of arbitrary datagrams, with
// the return mode and the pending protocol changing between them. Emitted frames must keep
// their per-point vectors in step, and nothing may grow past the frame cap.
#include <cstdint>

#include "acquisition/frame_assembler.h"
#include "acquisition/packet_format.h"
#include "fuzz/fuzz_support.h"

using namespace k740;

namespace {

void checkFrame(const LidarDataSingleLine& f) {
    const std::size_t n = f.pointAngle.size();
    if (f.distance.size() != n || f.intensity.size() != n || f.timeStamp.size() != n)
        k740fuzz::fail("emitted frame with per-point vectors of different lengths");
    if (n > kMaxFrameBlocks * 32 + kMaxSingleLineFramePoints)
        k740fuzz::fail("emitted frame larger than the frame cap");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    LiveFrameAssembler assembler([](LidarDataSingleLine&& f) { checkFrame(f); });
    while (in.remaining_bytes() > 0) {
        const int returnMode = in.ConsumeIntegralInRange<int>(0, 4);  // 4: not a mode at all
        const int protocol = in.ConsumeIntegralInRange<int>(-1, 2);
        std::vector<std::uint8_t> datagram;
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
            case 0:
                datagram = k740fuzz::shapedPacket(in, kDataPacketSize, {kBlockFlag0, kBlockFlag1});
                break;
            case 1:
                datagram = k740fuzz::shapedPacket(in, kSingleLinePacketSize,
                                                  {kSingleLineFlag0, kSingleLineFlag1});
                break;
            case 2:  // device information header
                datagram = k740fuzz::shapedPacket(in, kDataPacketSize,
                                                  {0xA5, 0xFF, 0x00, 0x5A, 0x11, 0x11, 0x55, 0x55});
                break;
            default:
                datagram =
                    in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 1600));
                break;
        }
        assembler.addDatagram(datagram.data(), datagram.size(), returnMode, protocol);
        if (assembler.blocksUnderAssembly() > 2 * kMaxFrameBlocks + 2 * kBlockCount)
            k740fuzz::fail("frame under assembly grew past the cap");
    }
    return 0;
}
