// The older frames of a trail: the frames shown before the newest one, kept as they were drawn
// and composed into one cloud whose colours fade with age towards the view's background. One
// cloud (one actor, drawn opaque) costs far less to draw than a translucent actor per frame,
// and the kept frames reuse their memory from one revolution to the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "display/cloud_builder.h"

namespace k740 {

// Frames drawn together at most (the newest included).
constexpr int kMaxTrail = 20;

// How strongly a frame `age` frames old is drawn in a trail of `length` frames: 1 for the
// newest (age 0), falling evenly towards 1/length for the oldest; 0 outside the trail.
double trailFade(int age, int length);

struct BackgroundColour {
    std::uint8_t r = 0, g = 0, b = 0;
};

class TrailFrames {
public:
    // The trail's length, 1 (off) to kMaxTrail; a change empties the trail (and gives its
    // memory back).
    void setLength(int length);
    int length() const { return m_Length; }

    // Forgets every kept frame and gives their memory back.
    void clear();

    // The frame that has just left the screen becomes the newest of the older ones; the
    // oldest falls out once length - 1 are kept. Nothing is kept while the trail is off.
    void push(const Cloud& shownFrame);

    // Older frames kept now (at most length - 1).
    int framesKept() const { return static_cast<int>(m_Kept); }
    // Points of the kept frames together.
    std::size_t pointsKept() const;
    // Bytes the kept frames hold (their capacity, not only their size).
    std::size_t bytesHeld() const;

    // All kept frames in one cloud, oldest first; a frame `age` frames older than the newest
    // frame on screen has its colour moved towards the background by trailFade(age, length).
    // `out` is overwritten and keeps its memory when it is large enough.
    void compose(Cloud& out, const BackgroundColour& background) const;

private:
    int m_Length = 1;
    std::vector<Cloud> m_Slots;  // a ring of length - 1 frames
    std::size_t m_Next = 0;      // the slot the next frame goes into
    std::size_t m_Kept = 0;
};

}  // namespace k740
