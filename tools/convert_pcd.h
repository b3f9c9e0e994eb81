// k740-convert pcd: every frame of a capture file as one point-cloud file.
#pragma once

namespace k740 {

// Runs "k740-convert pcd FILE DIR [options]" (argv[1] is "pcd"); returns the exit status.
int runConvertPcd(int argc, char** argv);

}  // namespace k740
