// Run-time icon lookup: beside the executable (the build tree's bin/), or in the installed
// share folder (<prefix>/bin/../share/k740).
#include "resources/runtime_icons.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace k740 {

QString runtimeFilePath(const QString& relativePath) {
    if (relativePath.startsWith(QLatin1Char(':')) || QDir::isAbsolutePath(relativePath))
        return relativePath;
    const QString base =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    const QString beside = QDir::cleanPath(QDir(base).filePath(relativePath));
    if (QFileInfo::exists(beside)) return beside;
    const QString installed = QDir::cleanPath(
        QDir(base).filePath(QLatin1String(kInstalledDataDir) + QLatin1Char('/') + relativePath));
    return QFileInfo::exists(installed) ? installed : beside;
}

QIcon runtimeIcon(const QString& relativePath) {
    const QString path = runtimeFilePath(relativePath);
    if (!QFileInfo::exists(path)) return QIcon();
    return QIcon(path);
}

}  // namespace k740
