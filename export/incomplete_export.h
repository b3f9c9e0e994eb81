// An export the program had to end before every frame asked for was written (the window was
// closed while it ran). Its file keeps the rows written so far, but must not pass for a whole
// export: it is renamed so that its name says it is incomplete ("scan.csv" becomes
// "scan.incomplete.csv"), and one line for standard error says what happened.
#pragma once

#include <functional>
#include <string>

namespace k740 {

// The name that marks `path` incomplete: ".incomplete" before the extension of the file's name
// (or at its end), then "-2", "-3", ... while `exists` says that name is taken.
std::string incompleteExportName(const std::string& path,
                                 const std::function<bool(const std::string&)>& exists);

struct IncompleteMark {
    std::string path;     // where the rows are now
    bool renamed = false;  // false: the file could not be renamed
    bool lineAppended = false;  // a last line says it is incomplete instead
};

// Renames the export's file (never over another file). When that is refused, a text file gets
// a last line "incomplete: N of M frames written" instead (appendLine; a binary file such as
// a LAS file is left as it is, its header already counting only the points written).
IncompleteMark markExportIncomplete(const std::string& path, int framesWritten, int framesAsked,
                                    bool appendLine = true);

// "rv-k740-p: the CSV export was cut short by closing the window: 19 of 300 frames written
// to '/d/scan.incomplete.csv'" (with why, when the file also failed to be written); `format`
// names the file's kind ("CSV", "LAS").
std::string incompleteExportMessage(const IncompleteMark& mark, int framesWritten, int framesAsked,
                                    const std::string& writeError, const std::string& format = "CSV");

}  // namespace k740
