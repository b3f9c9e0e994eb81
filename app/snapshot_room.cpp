// The view's snapshot (see snapshot_room.h).
#include "app/snapshot_room.h"

#include <QVTKOpenGLNativeWidget.h>

#include <QBoxLayout>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QToolButton>

#include "display/dialogs_seam.h"
#include "app/rules/viewer_comfort.h"

namespace k740 {

SnapshotRoom::SnapshotRoom(QWidget* window, QVTKOpenGLNativeWidget* screen, QToolButton* button,
                           std::function<int()> frameNumber, QObject* parent)
    : QObject(parent),
      m_Window(window),
      m_Screen(screen),
      m_FrameNumber(std::move(frameNumber)),
      m_Button(button) {
    connect(m_Button, &QToolButton::clicked, this, [this] { takeSnapshot(); });
}

bool SnapshotRoom::takeSnapshot() {
    const QString proposed =
        defaultSnapshotFileName(QDateTime::currentDateTime(), m_FrameNumber ? m_FrameNumber() : 0);
    const QString path = Dialogs::getSaveFileName(m_Window, QStringLiteral("Save snapshot"), proposed,
                                                  QStringLiteral("PNG picture (*.png)"));
    if (path.isEmpty()) return false;
    return saveTo(path);
}

bool SnapshotRoom::saveTo(const QString& path) {
    // The picture as the view shows it, at its size on screen.
    const QImage picture = m_Screen->grabFramebuffer();
    if (!picture.isNull() && picture.save(path, "PNG")) return true;
    const QString name = QFileInfo(path).fileName();
    const QFileInfo folder(QFileInfo(path).absolutePath());
    const QString folderName = QDir::toNativeSeparators(folder.absoluteFilePath());
    // The one cause that happened.
    QString why;
    if (picture.isNull())
        why = QStringLiteral("the view has no picture yet.");
    else if (!folder.isDir() || !folder.isWritable())
        why = QStringLiteral("the folder \"%1\" cannot be written.").arg(folderName);
    else
        why = QStringLiteral("the file cannot be written in the folder \"%1\".").arg(folderName);
    Dialogs::warning(m_Window, QStringLiteral("warn"),
                     QStringLiteral("The snapshot could not be saved as \"%1\": %2").arg(name, why));
    return false;
}

}  // namespace k740
