// Run-time icon lookup beside the executable.
#include "app/runtime_icons.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace k740 {

QString runtimeFilePath(const QString& relativePath) {
    if (relativePath.startsWith(QLatin1Char(':')) || QDir::isAbsolutePath(relativePath)) return relativePath;
    const QString base = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return QDir::cleanPath(QDir(base).filePath(relativePath));
}

QIcon runtimeIcon(const QString& relativePath) {
    const QString path = runtimeFilePath(relativePath);
    if (!QFileInfo::exists(path)) return QIcon();
    return QIcon(path);
}

}  // namespace k740
