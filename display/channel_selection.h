// The channel selection table without widgets: what each row shows per degree mode, and the
// one toggle that the "All/All no choice" box and the "Switch selection" button share.
#pragma once

#include <QString>
#include <array>
#include <optional>

#include "device/vertical_angles.h"

namespace k740 {

struct ChannelRowTexts {
    QString angle;    // "Vertical Angle" column
    QString channel;  // "Channel" column
};
using ChannelTable = std::array<ChannelRowTexts, kChannelCount>;

// The table of degree mode 0 or 1, rows from the lowest beam to the highest; nullopt for any
// other mode (the table keeps what it shows).
std::optional<ChannelTable> channelTable(int degreeMode);

using RowChecks = std::array<bool, kChannelCount>;

// Both shortcuts read and invert the same state, which starts false although every row starts
// checked: the first "All/All no choice" unchecks all rows, and a "Switch selection" after it
// selects the odd rows.
class SelectionToggle {
public:
    // false: every row unchecked; true: every row checked. Then the state inverts.
    RowChecks allOrNone();
    // false: even rows checked, odd unchecked; true: the other way round. Then it inverts.
    RowChecks alternate();
    bool state() const { return m_State; }

private:
    bool m_State = false;
};

}  // namespace k740
