// The "Real time" check box (see pace_room.h).
#include "app/pace_room.h"

#include <QBoxLayout>
#include <QCheckBox>

#include "playback/ReadLiveOffData.h"

namespace k740 {

PaceRoom::PaceRoom(QCheckBox* box, ReadLiveOffData* player, QObject* parent)
    : QObject(parent), m_Box(box), m_Player(player) {
    m_Box->setChecked(m_Player->realTime());
    connect(m_Box, &QCheckBox::toggled, this, [this](bool on) { m_Player->setRealTime(on); });
}

bool PaceRoom::realTime() const { return m_Box->isChecked(); }

void PaceRoom::setRealTime(bool on) { m_Box->setChecked(on); }

}  // namespace k740
