// Icons loaded at run time from the loose files shipped beside the program
// ("./Resources/images/Play.png" and the like), found from any working directory, in the
// build tree (beside the executable) and when installed (<prefix>/share/k740).
#pragma once

#include <QIcon>
#include <QString>

namespace k740 {

// Where `cmake --install` puts the loose files, relative to the folder of the executable.
constexpr const char* kInstalledDataDir = "../share/k740";

// The path of a file given relative to the program's folder ("./Resources/images/Play.png"
// becomes <folder of the executable>/Resources/images/Play.png, or when that does not exist
// and the installed copy does, <folder>/../share/k740/Resources/images/Play.png). Absolute
// paths and resource paths (":/...") come back unchanged.
QString runtimeFilePath(const QString& relativePath);

// The icon of such a file; a missing file gives an empty icon (the button then shows none).
QIcon runtimeIcon(const QString& relativePath);

}  // namespace k740
