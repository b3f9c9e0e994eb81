// k740-convert's GPS time-stamp test (gps-test).
#pragma once

namespace k740::convert {
// Runs "gps-test" and returns the exit code; -1 when argv[1] is something else.
int gpsTestCommand(int argc, char** argv);
}  // namespace k740::convert
