// k740-convert las: the points of a capture file as a LAS 1.2 file (or one per frame).
#pragma once

namespace k740 {

// Runs "k740-convert las FILE OUT.las [options]" (argv[1] is "las"); returns the exit status.
int runConvertLas(int argc, char** argv);

}  // namespace k740
