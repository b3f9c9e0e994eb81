// The sine and cosine of the azimuths a source's frames hold, worked out once for each
// distinct azimuth value and kept for later frames: a sensor turning at a steady pace meets
// the same azimuth values again every few revolutions, so most points of a long capture find
// theirs here instead of working out a sine and a cosine each. A value found here is the very
// value azimuthTrig() gives, so coordinates stay bit for bit those of the CSV export.
//
// Bounded: the table grows with the distinct values met (twice the slots when half are
// taken) up to kMaxSlots, and starts empty again when three quarters of those are taken.
// Not safe for several threads at once: users hold `lock` (a user that finds it taken works
// its values out directly).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "display/point_math.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace k740 {

class AzimuthTable {
public:
    static constexpr std::size_t kFirstSlots = std::size_t{1} << 14;
    static constexpr std::size_t kMaxSlots = std::size_t{1} << 20;  // 24 MB
    // A value whose slot and the next ones are all taken by others is worked out, not kept.
    static constexpr int kProbes = 8;

    std::mutex lock;

    // azimuthTrig(azimuthDeg), from the table when it was met before.
    AzimuthTrig get(double azimuthDeg) {
        // Only azimuths of a revolution are kept (a damaged value is worked out each time).
        if (!(azimuthDeg >= 0.0 && azimuthDeg < 360.0)) return azimuthTrig(azimuthDeg);
        if (!slots_) allocate(kFirstSlots);
        std::uint64_t key;
        std::memcpy(&key, &azimuthDeg, sizeof key);
        const std::size_t mask = count_ - 1;
        std::size_t i = slotOf(azimuthDeg);
        for (int probe = 0; probe < kProbes; ++probe, i = (i + 1) & mask) {
            Slot& s = slots_[i];
            if (s.key == key) return s.trig;
            if (s.key == kEmpty) {
                const AzimuthTrig t = azimuthTrig(azimuthDeg);
                s.key = key;
                s.trig = t;
                ++kept_;
                if (count_ < kMaxSlots ? kept_ > count_ / 2 : kept_ > count_ / 4 * 3) makeRoom();
                return t;
            }
        }
        return azimuthTrig(azimuthDeg);
    }

    // Asks the processor to fetch the slot of an azimuth that get() will be asked for soon
    // (points come in azimuth order, so the slots of a frame are met from one end to the other).
    void prefetch(double azimuthDeg) const {
        if (!slots_ || !(azimuthDeg >= 0.0 && azimuthDeg < 360.0)) return;
        const Slot* s = slots_.get() + slotOf(azimuthDeg);
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
        // Written out: the compiler drops __builtin_prefetch under a condition.
        asm volatile("prefetcht0 %0" : : "m"(*s));
#elif defined(__GNUC__)
        __builtin_prefetch(s);
#else
        (void)s;
#endif
    }

    // Values kept, and the slots that hold them.
    std::size_t size() const { return kept_; }
    std::size_t capacity() const { return count_; }

private:
    // The bits of a NaN: never those of an azimuth kept.
    static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};
    struct Slot {
        std::uint64_t key;  // the azimuth's bits
        AzimuthTrig trig;
    };
    struct Free {
        void operator()(Slot* p) const { std::free(p); }
    };

    // Slots follow the azimuth (0 <= azimuthDeg < 360).
    std::size_t slotOf(double azimuthDeg) const {
        return static_cast<std::size_t>(azimuthDeg * scale_) & (count_ - 1);
    }

    void allocate(std::size_t count) {
        // A large table in large pages: a frame's points visit slots all over it.
        constexpr std::size_t kAlign = std::size_t{2} << 20;
        const std::size_t bytes = (count * sizeof(Slot) + kAlign - 1) / kAlign * kAlign;
        Slot* p = static_cast<Slot*>(std::aligned_alloc(kAlign, bytes));
        if (!p) throw std::bad_alloc();
#if defined(__linux__)
        if (bytes >= kAlign) ::madvise(p, bytes, MADV_HUGEPAGE);  // a hint: refused, small pages serve
#endif
        for (std::size_t i = 0; i < count; ++i) p[i].key = kEmpty;
        slots_.reset(p);
        count_ = count;
        scale_ = static_cast<double>(count) / 360.0;
        kept_ = 0;
    }

    // Twice the slots while under kMaxSlots (the values kept move over); at kMaxSlots, empty.
    void makeRoom() {
        if (count_ >= kMaxSlots) {
            for (std::size_t i = 0; i < count_; ++i) slots_[i].key = kEmpty;
            kept_ = 0;
            return;
        }
        std::unique_ptr<Slot[], Free> old = std::move(slots_);
        const std::size_t oldCount = count_;
        allocate(count_ * 2);
        for (std::size_t k = 0; k < oldCount; ++k) {
            const Slot& s = old[k];
            if (s.key == kEmpty) continue;
            double a;
            std::memcpy(&a, &s.key, sizeof a);
            std::size_t i = slotOf(a);
            for (int probe = 0; probe < kProbes; ++probe, i = (i + 1) & (count_ - 1)) {
                if (slots_[i].key == kEmpty) {
                    slots_[i] = s;
                    ++kept_;
                    break;
                }
            }
        }
    }

    std::unique_ptr<Slot[], Free> slots_;
    std::size_t count_ = 0;
    double scale_ = 0.0;  // slots a degree
    std::size_t kept_ = 0;
};

}  // namespace k740
