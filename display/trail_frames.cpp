// The older frames of a trail (see trail_frames.h).
#include "display/trail_frames.h"

#include <algorithm>
#include <cmath>

namespace k740 {

double trailFade(int age, int length) {
    if (length < 1 || age < 0 || age >= length) return 0.0;
    if (length == 1) return 1.0;
    // Evenly from 1 (newest) down to 1/length (oldest).
    return 1.0 - (1.0 - 1.0 / length) * double(age) / double(length - 1);
}

void TrailFrames::setLength(int length) {
    length = std::clamp(length, 1, kMaxTrail);
    if (length == m_Length) return;
    clear();
    m_Length = length;
}

void TrailFrames::clear() {
    // Swapping with empty vectors frees the points; clear() alone would keep the capacity.
    std::vector<Cloud>().swap(m_Slots);
    m_Next = 0;
    m_Kept = 0;
}

void TrailFrames::push(const Cloud& shownFrame) {
    if (m_Length <= 1) return;
    const std::size_t slots = static_cast<std::size_t>(m_Length - 1);
    if (m_Slots.size() != slots) {
        clear();
        m_Slots.resize(slots);
    }
    // Copies into the slot's own vector: after the first round no revolution allocates.
    m_Slots[m_Next].points.assign(shownFrame.points.begin(), shownFrame.points.end());
    m_Slots[m_Next].width = static_cast<std::uint32_t>(shownFrame.points.size());
    m_Slots[m_Next].height = 1;
    m_Next = (m_Next + 1) % slots;
    m_Kept = std::min(m_Kept + 1, slots);
}

std::size_t TrailFrames::pointsKept() const {
    std::size_t n = 0;
    for (const Cloud& c : m_Slots) n += c.points.size();
    return n;
}

std::size_t TrailFrames::bytesHeld() const {
    std::size_t bytes = m_Slots.capacity() * sizeof(Cloud);
    for (const Cloud& c : m_Slots) bytes += c.points.capacity() * sizeof(CloudPoint);
    return bytes;
}

void TrailFrames::compose(Cloud& out, const BackgroundColour& background) const {
    out.points.resize(pointsKept());
    const std::size_t slots = m_Slots.size();
    std::size_t at = 0;
    // Oldest first: age m_Kept is the oldest kept frame, 1 the one shown just before the newest.
    for (std::size_t age = m_Kept; age >= 1; --age) {
        const Cloud& frame = m_Slots[(m_Next + slots - age) % slots];
        const double fade = trailFade(static_cast<int>(age), m_Length);
        // One table a channel and frame: the same fading for every point of the frame.
        std::uint8_t towards[3][256];
        const std::uint8_t bg[3] = {background.r, background.g, background.b};
        for (int ch = 0; ch < 3; ++ch)
            for (int c = 0; c < 256; ++c)
                towards[ch][c] =
                    static_cast<std::uint8_t>(std::lround(bg[ch] + (double(c) - bg[ch]) * fade));
        for (const CloudPoint& p : frame.points) {
            CloudPoint& q = out.points[at++];
            q = p;
            q.r = towards[0][p.r];
            q.g = towards[1][p.g];
            q.b = towards[2][p.b];
        }
    }
    out.width = static_cast<std::uint32_t>(out.points.size());
    out.height = 1;
    out.is_dense = true;
}

}  // namespace k740
