// An export cut short (see incomplete_export.h).
#include "export/incomplete_export.h"

#include <QFile>
#include <QFileInfo>
#include <fstream>

namespace k740 {

std::string incompleteExportName(const std::string& path,
                                 const std::function<bool(const std::string&)>& exists) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.find_last_of('.');
    // A dot that starts the name (".csv") or lies in a folder's name is no extension.
    if (dot == std::string::npos || dot <= nameStart) dot = path.size();
    const std::string stem = path.substr(0, dot) + ".incomplete";
    const std::string extension = path.substr(dot);
    std::string candidate = stem + extension;
    for (int n = 2; exists && exists(candidate); ++n)
        candidate = stem + "-" + std::to_string(n) + extension;
    return candidate;
}

IncompleteMark markExportIncomplete(const std::string& path, int framesWritten, int framesAsked,
                                    bool appendLine) {
    IncompleteMark mark;
    mark.path = path;
    const std::string target = incompleteExportName(
        path, [](const std::string& p) { return QFileInfo::exists(QFile::decodeName(p.c_str())); });
    // QFile::rename never replaces an existing file.
    if (QFile::rename(QFile::decodeName(path.c_str()), QFile::decodeName(target.c_str()))) {
        mark.path = target;
        mark.renamed = true;
        return mark;
    }
    if (!appendLine) return mark;
    std::ofstream out(path, std::ios::app);
    out << "incomplete: " << framesWritten << " of " << framesAsked << " frames written\n";
    mark.lineAppended = static_cast<bool>(out.flush());
    return mark;
}

std::string incompleteExportMessage(const IncompleteMark& mark, int framesWritten, int framesAsked,
                                    const std::string& writeError, const std::string& format) {
    std::string text = "rv-k740-p: the " + format + " export was cut short by closing the window: " +
                       std::to_string(framesWritten) + " of " + std::to_string(framesAsked) +
                       " frames written to '" + mark.path + "'";
    if (!mark.renamed)
        text += mark.lineAppended ? " (it could not be renamed; its last line says it is incomplete)"
                                  : " (it could not be renamed)";
    if (!writeError.empty()) text += "; writing failed: " + writeError;
    return text;
}

}  // namespace k740
