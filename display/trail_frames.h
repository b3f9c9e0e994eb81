// The older frames of a trail: the frames shown before the newest one, kept as they were drawn
// in a ring of slots. A frame stays in its slot while it is kept, so the view uploads each
// frame once and afterwards only dims it as it ages (an opaque actor whose colours are scaled
// costs far less to draw than a translucent one); the slots reuse their memory from one
// revolution to the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "display/cloud_builder.h"

namespace k740 {

// Frames drawn together at most (the newest included).
constexpr int kMaxTrail = 20;
// Points the older frames of a trail hold together at most: beyond it each older frame keeps
// only every n-th point (n as small as fits), so a long trail of full revolutions still draws
// at ten frames a second or more in software OpenGL. The newest frame is always whole.
constexpr std::size_t kTrailPointBudget = 256000;

// Every how many points an older frame of `points` points keeps one in a trail of `length`
// frames (1: all of them).
std::size_t trailStride(std::size_t points, int length);

// How strongly a frame `age` frames old is drawn in a trail of `length` frames: 1 for the
// newest (age 0), falling evenly towards 1/length for the oldest; 0 outside the trail.
double trailFade(int age, int length);

class TrailFrames {
public:
    // The trail's length, 1 (off) to kMaxTrail; a change empties the trail (and gives its
    // memory back).
    void setLength(int length);
    int length() const { return m_Length; }

    // Forgets every kept frame and gives their memory back.
    void clear();

    // The frame that has just left the screen becomes the newest of the older ones (thinned
    // to trailStride); the oldest falls out once length - 1 are kept. Nothing is kept while
    // the trail is off.
    void push(const Cloud& shownFrame);

    // Older frames kept now (at most length - 1).
    int framesKept() const { return static_cast<int>(m_Kept); }
    // Points of the kept frames together.
    std::size_t pointsKept() const;
    // Bytes the kept frames hold (their capacity, not only their size).
    std::size_t bytesHeld() const;

    // One kept frame: the slot that holds it, how many frames older than the newest frame on
    // screen it is, and how strongly it is drawn (trailFade of that age).
    struct Layer {
        std::size_t slot = 0;
        int age = 0;
        double fade = 0.0;
    };
    // The kept frames, oldest first.
    std::vector<Layer> layers() const;
    // The frame a slot holds, and the slot the last push wrote.
    const Cloud& slotFrame(std::size_t slot) const { return m_Slots[slot]; }
    std::size_t newestSlot() const;

private:
    int m_Length = 1;
    std::vector<Cloud> m_Slots;  // a ring of length - 1 frames
    std::size_t m_Next = 0;      // the slot the next frame goes into
    std::size_t m_Kept = 0;
};

}  // namespace k740
