// The older frames of a trail (see trail_frames.h).
#include "display/trail_frames.h"

#include <algorithm>

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

std::size_t trailStride(std::size_t points, int length) {
    if (length <= 1) return 1;
    const std::size_t older = points * static_cast<std::size_t>(length - 1);
    return std::max<std::size_t>(1, (older + kTrailPointBudget - 1) / kTrailPointBudget);
}

void TrailFrames::push(const Cloud& shownFrame) {
    if (m_Length <= 1) return;
    const std::size_t slots = static_cast<std::size_t>(m_Length - 1);
    if (m_Slots.size() != slots) {
        clear();
        m_Slots.resize(slots);
    }
    // Copies into the slot's own vector: after the first round no revolution allocates.
    auto& kept = m_Slots[m_Next].points;
    const std::size_t stride = trailStride(shownFrame.points.size(), m_Length);
    if (stride == 1) {
        kept.assign(shownFrame.points.begin(), shownFrame.points.end());
    } else {
        kept.clear();
        for (std::size_t i = 0; i < shownFrame.points.size(); i += stride) kept.push_back(shownFrame.points[i]);
    }
    m_Slots[m_Next].width = static_cast<std::uint32_t>(kept.size());
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

std::vector<TrailFrames::Layer> TrailFrames::layers() const {
    std::vector<Layer> out;
    const std::size_t slots = m_Slots.size();
    // Age m_Kept is the oldest kept frame, 1 the one shown just before the newest.
    for (std::size_t age = m_Kept; age >= 1; --age)
        out.push_back({(m_Next + slots - age) % slots, static_cast<int>(age),
                       trailFade(static_cast<int>(age), m_Length)});
    return out;
}

std::size_t TrailFrames::newestSlot() const {
    const std::size_t slots = m_Slots.size();
    return slots == 0 ? 0 : (m_Next + slots - 1) % slots;
}

}  // namespace k740
