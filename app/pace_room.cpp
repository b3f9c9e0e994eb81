// The "Real time" check box (see pace_room.h).
#include "app/pace_room.h"

#include <QBoxLayout>
#include <QCheckBox>

#include "playback/ReadLiveOffData.h"

namespace k740 {

PaceRoom::PaceRoom(QWidget* page, QBoxLayout* row, ReadLiveOffData* player, QObject* parent)
    : QObject(parent), m_Box(new QCheckBox(QStringLiteral("Real time"), page)), m_Player(player) {
    m_Box->setObjectName(QStringLiteral("checkBox_RealTime"));
    m_Box->setToolTip(
        QStringLiteral("Play at the pace the capture was recorded (the speed buttons multiply "
                       "it); frames that cannot be drawn in time are skipped"));
    row->addWidget(m_Box);
    m_Box->setChecked(m_Player->realTime());
    connect(m_Box, &QCheckBox::toggled, this, [this](bool on) { m_Player->setRealTime(on); });
}

bool PaceRoom::realTime() const { return m_Box->isChecked(); }

void PaceRoom::setRealTime(bool on) { m_Box->setChecked(on); }

}  // namespace k740
