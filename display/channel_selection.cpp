// Channel table texts and the shared selection toggle.
#include "display/channel_selection.h"

namespace k740 {

std::optional<ChannelTable> channelTable(int degreeMode) {
    if (!hasNominalAngles(degreeMode)) return std::nullopt;
    ChannelTable table;
    for (int row = 0; row < kChannelCount; ++row) {
        const int channel = channelOfRow(row);
        table[row].angle = angleText(nominalAngle(degreeMode, channel));
        table[row].channel = QString::number(channel);
    }
    return table;
}

RowChecks SelectionToggle::allOrNone() {
    RowChecks checks;
    checks.fill(m_State);
    m_State = !m_State;
    return checks;
}

RowChecks SelectionToggle::alternate() {
    RowChecks checks;
    for (int row = 0; row < kChannelCount; ++row) checks[row] = (row % 2 == 0) != m_State;
    m_State = !m_State;
    return checks;
}

}  // namespace k740
