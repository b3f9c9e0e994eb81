// Saving a piece of the open capture file.
#include "app/piece_room.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSlider>

#include <algorithm>

#include "display/dialogs_seam.h"
#include "playback/ReadLiveOffData.h"
#include "playback/capture_cut.h"

namespace k740 {

namespace {
const QString kTitle = QStringLiteral("Save frames");
}  // namespace

PieceRoom::PieceRoom(QWidget* dialogParent, QAbstractButton* button, QSlider* slider,
                     const ReadLiveOffData* player, QObject* parent)
    : QObject(parent), m_DialogParent(dialogParent), m_Slider(slider), m_Player(player) {
    connect(button, &QAbstractButton::clicked, this, &PieceRoom::saveFramesClicked);
}

QString PieceRoom::proposedName(const QString& capture, int first, int last) {
    const QFileInfo info(capture);
    return info.dir().filePath(QStringLiteral("%1-frames-%2-%3.pcap").arg(info.completeBaseName()).arg(first).arg(last));
}

void PieceRoom::saveFramesClicked() {
    QWidget* parent = m_DialogParent.data();
    const int frames = m_Player->frameCount();  // 0 while no file is loaded
    if (frames == 0) {
        Dialogs::warning(parent, QStringLiteral("warn"),
                         !m_Player->fileName().isEmpty() ? QStringLiteral("The open capture file holds no frames")
                                              : QStringLiteral("Please open a capture file first"));
        return;
    }
    const int lastFrame = frames - 1;
    int first = std::clamp(m_Slider->value(), 0, lastFrame);
    int last = lastFrame;
    if (!Dialogs::getFrameRange(parent, kTitle,
                                QStringLiteral("Frames to save, from 0 to %1:").arg(lastFrame), lastFrame,
                                &first, &last))
        return;
    const std::string refused = checkFrameRange(static_cast<std::uint64_t>(std::max(first, 0)),
                                                static_cast<std::uint64_t>(std::max(last, 0)),
                                                static_cast<std::size_t>(frames));
    if (first < 0 || last < 0 || !refused.empty()) {
        Dialogs::warning(parent, QStringLiteral("warn"),
                         first < 0 || last < 0 ? QStringLiteral("Frame numbers start at 0")
                                               : QStringLiteral("Cannot save these frames: %1")
                                                     .arg(QString::fromStdString(refused)));
        return;
    }
    const QString path = Dialogs::getSaveFileName(parent, kTitle, proposedName(m_Player->fileName(), first, last),
                                                  QStringLiteral("Supported Files (*.pcap)"));
    if (path.isEmpty()) return;
    const CaptureCutResult cut =
        cutCapture(m_Player->filePath(), m_Player->catalog(), static_cast<std::uint64_t>(first),
                   static_cast<std::uint64_t>(last), QFile::encodeName(path).toStdString());
    if (!cut.ok) {
        Dialogs::critical(parent, QStringLiteral("error"),
                          QStringLiteral("The frames were not saved:\n%1\n%2")
                              .arg(path, QString::fromLocal8Bit(cut.error.c_str())));
        return;
    }
    QString text = QStringLiteral("Frames %1 to %2 are saved in\n%3").arg(first).arg(last).arg(path);
    const auto asked = static_cast<std::uint64_t>(last - first + 1);
    if (cut.frames != asked)
        text += QStringLiteral("\n\nIts first packet also carries the end of frame %1, which plays as a "
                               "short frame of its own: the file plays as %2 frames.")
                    .arg(first - 1)
                    .arg(cut.frames);
    Dialogs::information(parent, QStringLiteral("Tips"), text);
}

}  // namespace k740
