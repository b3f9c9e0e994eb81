// The recorded pace of a capture's frames (see real_time_pace.h).
#include "playback/real_time_pace.h"

#include <cmath>
#include <cstdlib>

namespace k740 {

double paceFactor(int playSpeedStep) {
    switch (playSpeedStep) {
        case 0:
            return 1.0;
        case 1:
            return 2.0;
        case 2:
            return 3.0;
        case 3:
            return 0.5;
        default:
            return 0.25;
    }
}

std::vector<std::int64_t> recordedTimeline(const std::vector<std::int64_t>& frameTimesUs) {
    std::vector<std::int64_t> timeline;
    timeline.reserve(frameTimesUs.size());
    std::int64_t at = 0;
    for (std::size_t i = 0; i < frameTimesUs.size(); ++i) {
        if (i > 0) {
            const std::int64_t step = frameTimesUs[i] - frameTimesUs[i - 1];
            at += (step < 0 || step > kPaceLongestStepUs) ? kPaceGapStepUs : step;
        }
        timeline.push_back(at);
    }
    return timeline;
}

RealTimePace::RealTimePace(const std::vector<std::int64_t>& frameTimesUs)
    : m_Timeline(recordedTimeline(frameTimesUs)) {}

void RealTimePace::anchor(long frame, std::int64_t wallUs, double factor) {
    if (frame < 0 || frame >= frames()) {
        reset();
        return;
    }
    m_AnchorFrame = frame;
    m_AnchorWallUs = wallUs;
    m_Factor = factor > 0.0 ? factor : 1.0;
}

std::int64_t RealTimePace::dueAt(long frame) const {
    if (!anchored() || frame < 0 || frame >= frames()) return m_AnchorWallUs;
    const std::int64_t distance = std::llabs(m_Timeline[static_cast<std::size_t>(frame)] -
                                             m_Timeline[static_cast<std::size_t>(m_AnchorFrame)]);
    return m_AnchorWallUs + std::llround(static_cast<double>(distance) / m_Factor);
}

PaceStep RealTimePace::next(long candidate, int direction, std::int64_t nowUs) const {
    PaceStep step;
    if (frames() <= 0) return step;
    const int d = direction < 0 ? -1 : 1;
    long frame = candidate < 0 ? 0 : (candidate >= frames() ? frames() - 1 : candidate);
    while (frame + d >= 0 && frame + d < frames() && dueAt(frame + d) <= nowUs) {
        frame += d;
        ++step.skipped;
    }
    step.frame = frame;
    step.showAtUs = dueAt(frame);
    return step;
}

}  // namespace k740
