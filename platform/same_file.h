// Whether two paths name one file on disk, so that a command never writes over the file it
// reads.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

namespace k740 {

// The same file (two names, links, "./x" and "x"), by the file system's identity of the
// file; false when either cannot be examined (a file that does not exist yet is no input).
inline bool isSameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    const bool same = std::filesystem::equivalent(a, b, error);
    return !error && same;
}

}  // namespace k740
