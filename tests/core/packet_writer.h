// Synthetic packet writers for tests: build exactly the bytes a case needs.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "acquisition/packet_format.h"

namespace k740test {

using DataPacket = std::array<std::uint8_t, k740::kDataPacketSize>;
using SingleLinePacket = std::array<std::uint8_t, k740::kSingleLinePacketSize>;

// A data packet whose block b has raw azimuth azimuths[b]; every record c of block b gets
// distance 1000*b + c + 1 and intensity (b*32 + c) & 0xFF, unless a value function is given.
inline DataPacket makeDataPacket(const std::array<std::uint16_t, 12>& azimuths, std::uint32_t timeStamp = 100000) {
    DataPacket p{};
    for (int b = 0; b < 12; ++b) {
        std::uint8_t* block = p.data() + 100 * b;
        block[0] = 0xFF;
        block[1] = 0xEE;
        k740::writeLE16(block + 2, azimuths[b]);
        for (int c = 0; c < 32; ++c) {
            std::uint8_t* rec = block + 4 + 3 * c;
            k740::writeLE16(rec, static_cast<std::uint16_t>(1000 * b + c + 1));
            rec[2] = static_cast<std::uint8_t>((b * 32 + c) & 0xFF);
        }
    }
    k740::writeLE32(p.data() + 1200, timeStamp);
    return p;
}

// Packet whose blocks start at raw azimuth `start` and advance by `step` hundredths, wrapping at 36000.
inline DataPacket makeSweepPacket(std::uint32_t start, std::uint32_t step, std::uint32_t timeStamp = 100000) {
    std::array<std::uint16_t, 12> az{};
    for (int b = 0; b < 12; ++b) az[b] = static_cast<std::uint16_t>((start + step * b) % 36000);
    return makeDataPacket(az, timeStamp);
}

inline SingleLinePacket makeSingleLinePacket(std::uint32_t startTenThousandths) {
    SingleLinePacket p{};
    p[0] = 0xA2;
    p[1] = 0x5C;
    k740::writeBE32(p.data() + 20, startTenThousandths);
    for (int k = 0; k < 250; ++k) {
        k740::writeLE16(p.data() + 28 + 3 * k, static_cast<std::uint16_t>(k + 1));
        p[28 + 3 * k + 2] = static_cast<std::uint8_t>(k);
    }
    return p;
}

}  // namespace k740test
