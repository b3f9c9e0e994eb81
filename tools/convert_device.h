// k740-convert's device commands (status, configure).
#pragma once

namespace k740::convert {
// Runs "status" or "configure" and returns the exit code; -1 when argv[1] is neither.
int deviceCommand(int argc, char** argv);
}  // namespace k740::convert
