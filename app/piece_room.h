// "Save frames…" of the Offline tab: a piece of the open capture file, frames A..B, saved as
// a capture file of its own (playback/capture_cut.h), proposing the frame under the slider
// and the file's last frame.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QAbstractButton;
class QSlider;
class QWidget;
class ReadLiveOffData;

namespace k740 {

class PieceRoom : public QObject {
    Q_OBJECT
public:
    // The button is the room's to drive; the player holds the open file and outlives the room.
    PieceRoom(QWidget* dialogParent, QAbstractButton* button, QSlider* slider, const ReadLiveOffData* player,
              QObject* parent = nullptr);

    // "Save frames…": the range, then the file name, then the piece; each refusal or failure
    // is named in a message and leaves no file behind.
    void saveFramesClicked();

    // The name proposed for frames first..last of the capture file at `capture`: beside it,
    // "<name>-frames-<first>-<last>.pcap".
    static QString proposedName(const QString& capture, int first, int last);

private:
    QPointer<QWidget> m_DialogParent;
    QSlider* m_Slider;
    const ReadLiveOffData* m_Player;
};

}  // namespace k740
