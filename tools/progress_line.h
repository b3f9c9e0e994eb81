// Progress of a long pass over a capture file, shown on stderr as one line rewritten in place
// ("k740-convert: capture.pcap 42%") — only when stderr is a terminal, so that scripts and
// logs that collect stderr see nothing of it.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "playback/capture_index.h"

namespace k740 {

class ProgressLine {
public:
    // total: the file's size in bytes; progress stays off when it is unknown.
    ProgressLine(const std::string& path, bool terminal = ::isatty(STDERR_FILENO) == 1)
        : label_("k740-convert: " + path),
          total_(fileSizeOf(path)),
          enabled_(terminal && total_ > 0) {}
    ~ProgressLine() { finish(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // done: bytes read so far (a file position); -1 (position unknown, pcapng) shows nothing.
    void update(std::int64_t done) {
        if (!enabled_ || done < 0) return;
        const int percent = static_cast<int>(done >= total_ ? 100 : done * 100 / total_);
        if (percent == shown_) return;
        shown_ = percent;
        std::fprintf(stderr, "\r%s %3d%%", label_.c_str(), percent);
        std::fflush(stderr);
    }
    // Clears the line, so that what follows on stderr starts at the left.
    void finish() {
        if (!enabled_ || shown_ < 0) return;
        std::fprintf(stderr, "\r%*s\r", static_cast<int>(label_.size() + 5), "");
        std::fflush(stderr);
        shown_ = -1;
    }

private:
    std::string label_;
    std::int64_t total_;
    bool enabled_;
    int shown_ = -1;
};

}  // namespace k740
