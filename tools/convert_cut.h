// k740-convert cut: frames A..B of a capture file as a capture file of their own.
#pragma once

namespace k740 {

// Runs "k740-convert cut FILE OUT.pcap --first A --last B" (argv[1] is "cut"); returns the
// exit status.
int runConvertCut(int argc, char** argv);

}  // namespace k740
