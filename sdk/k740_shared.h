// What the consumer library's own sources share (not installed): a frame's data and the
// frames made from it, and the check of the options every reader takes.
#pragma once

#include <cstddef>
#include <memory>

#include "acquisition/lidar_frame.h"
#include "k740/k740.h"
#include "sdk/azimuth_table.h"

namespace k740 {

// The decoded record and the azimuth table the frames of its source share (none for a
// default-constructed frame).
struct Frame::Data {
    LidarDataSingleLine record;
    std::shared_ptr<AzimuthTable> table;
};

struct FrameMaker {
    using Data = Frame::Data;
    static Frame make(std::shared_ptr<const Data> data, std::size_t index, Protocol protocol, ViewMode viewMode) {
        Frame f;
        f.data_ = std::move(data);
        f.index_ = index;
        f.protocol_ = protocol;
        f.viewMode_ = viewMode;
        return f;
    }
};

// Throws Error InvalidArgument unless protocol is V1_6 or V1_7 and viewMode one of the two.
void checkProtocolAndViewMode(Protocol protocol, ViewMode viewMode);

}  // namespace k740
