// The exit status of the command-line programs, the same in each of them.
#pragma once

namespace k740::tools {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // file missing, unreadable, damaged or truncated; socket failure
constexpr int kExitUsage = 2;    // options or arguments refused

}  // namespace k740::tools
