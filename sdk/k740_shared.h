// What the consumer library's own sources share (not installed): frames made from decoded
// records, and the check of the options every reader takes.
#pragma once

#include <cstddef>
#include <memory>

#include "k740/k740.h"

namespace k740 {

struct FrameMaker {
    static Frame make(std::shared_ptr<const LidarDataSingleLine> data, std::size_t index, int protocol,
                      int viewMode);
};

// Throws Error InvalidArgument unless protocol is 0 or 1 and viewMode 1 or 2.
void checkProtocolAndViewMode(int protocol, int viewMode);

}  // namespace k740
