// The sine and cosine of the azimuths a source's frames hold, worked out once for each
// distinct azimuth value and kept for later frames: a sensor turning at a steady pace meets
// the same azimuth values again, in the same order, every few revolutions, so most points of
// a long capture find theirs here instead of working out a sine and a cosine each. A value
// found here is the very value azimuthTrig() gives, so coordinates stay bit for bit those of
// the CSV export.
//
// Values are kept in the order they were first met; looking one up first tries the value
// kept right after the last one found (the order repeats), and only then an index by azimuth.
// Bounded: at most kMaxValues are kept; the table then starts empty again. Memory is taken
// from the system as values are kept. Not safe for several threads at once: users hold
// `lock` (a user that finds it taken works its values out directly).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "display/point_math.h"

namespace k740 {

class AzimuthTable {
public:
    static constexpr std::size_t kMaxValues = std::size_t{1} << 20;  // 24 MB of values
    static constexpr std::size_t kIndexSlots = 2 * kMaxValues;      // 8 MB of index
    // A value whose index slot and the next ones are all taken by others is worked out, not kept.
    static constexpr int kProbes = 8;

    std::mutex lock;

    // azimuthTrig(azimuthDeg), from the table when it was met before.
    AzimuthTrig get(double azimuthDeg) {
        std::uint64_t key;
        std::memcpy(&key, &azimuthDeg, sizeof key);
        if (next_ < kept_ && values_[next_].key == key) return values_[next_++].trig;
        // Only azimuths of a revolution are kept (a damaged value is worked out each time).
        if (!(azimuthDeg >= 0.0 && azimuthDeg < 360.0)) return azimuthTrig(azimuthDeg);
        if (!values_) allocate();
        // Index slots follow the azimuth.
        std::size_t i = static_cast<std::size_t>(azimuthDeg * (kIndexSlots / 360.0)) & (kIndexSlots - 1);
        for (int probe = 0; probe < kProbes; ++probe, i = (i + 1) & (kIndexSlots - 1)) {
            const std::uint32_t at = index_[i];  // position + 1; 0 for a free slot
            if (at != 0 && values_[at - 1].key == key) {
                next_ = at;
                return values_[at - 1].trig;
            }
            if (at == 0) {
                if (kept_ == kMaxValues) {  // full: start empty again
                    std::memset(index_.get(), 0, kIndexSlots * sizeof(std::uint32_t));
                    kept_ = 0;
                    return get(azimuthDeg);
                }
                const AzimuthTrig t = azimuthTrig(azimuthDeg);
                values_[kept_] = Value{key, t};
                index_[i] = static_cast<std::uint32_t>(++kept_);
                next_ = kept_;
                return t;
            }
        }
        return azimuthTrig(azimuthDeg);
    }

    // Values kept.
    std::size_t size() const { return kept_; }

private:
    struct Value {
        std::uint64_t key;  // the azimuth's bits
        AzimuthTrig trig;
    };
    struct Free {
        void operator()(void* p) const { std::free(p); }
    };

    // Zeroed memory the system hands out page by page as it is first written.
    void allocate() {
        values_.reset(static_cast<Value*>(std::malloc(kMaxValues * sizeof(Value))));
        index_.reset(static_cast<std::uint32_t*>(std::calloc(kIndexSlots, sizeof(std::uint32_t))));
        if (!values_ || !index_) throw std::bad_alloc();
    }

    std::unique_ptr<Value[], Free> values_;
    std::unique_ptr<std::uint32_t[], Free> index_;
    std::size_t kept_ = 0;
    std::size_t next_ = 0;  // the value tried first: the one kept after the last found
};

}  // namespace k740
