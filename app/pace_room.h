// The Offline tab's "Real time" check box: while ticked the player shows the frames when the
// capture's record time stamps say (the speed buttons multiply that pace) and skips the ones
// that cannot be drawn in their turn; unticked it keeps the speed table's fixed pauses. The
// window remembers the choice between runs.
#pragma once

#include <QObject>

class QCheckBox;
class ReadLiveOffData;

namespace k740 {

class PaceRoom : public QObject {
    Q_OBJECT
public:
    // `box` is the "Real time" check box.
    PaceRoom(QCheckBox* box, ReadLiveOffData* player, QObject* parent = nullptr);

    QCheckBox* checkBox() const { return m_Box; }
    bool realTime() const;
    void setRealTime(bool on);

private:
    QCheckBox* m_Box;
    ReadLiveOffData* m_Player;
};

}  // namespace k740
