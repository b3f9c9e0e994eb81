// An export cut short (see incomplete_export.h).
#include "export/incomplete_export.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace k740 {

namespace {

bool pathExists(const std::string& path) {
    struct stat s;
    return ::stat(path.c_str(), &s) == 0;
}

// Renames `from` to `to` unless `to` exists: an existing file is never replaced.
bool renameWithoutReplacing(const std::string& from, const std::string& to) {
#ifdef _WIN32
    return std::rename(from.c_str(), to.c_str()) == 0;  // never replaces there
#else
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
#endif
    // A file system without the no-replace rename: a second link fails on an existing name.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    if (::unlink(from.c_str()) != 0) {
        ::unlink(to.c_str());
        return false;
    }
    return true;
#endif
}

}  // namespace

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
    const std::string target = incompleteExportName(path, pathExists);
    if (renameWithoutReplacing(path, target)) {
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
