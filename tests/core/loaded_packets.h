// Test helper: the sensor payloads of a capture file held in memory, in file order, read
// through the shared capture-record reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "playback/capture_index.h"

namespace k740test {

struct LoadedPackets {
    bool singleLine = false;
    std::vector<std::vector<std::uint8_t>> list;
    std::size_t size() const { return list.size(); }
    std::size_t payloadSize() const { return k740::sensorPayloadSize(singleLine); }
    const std::uint8_t* packet(std::size_t i) const { return list[i].data(); }
    std::vector<const std::uint8_t*> pointers() const {
        std::vector<const std::uint8_t*> p;
        for (const auto& v : list) p.push_back(v.data());
        return p;
    }
};

inline k740::CaptureReadStatus loadPackets(const std::string& path, bool singleLine,
                                           LoadedPackets& out) {
    out = LoadedPackets();
    out.singleLine = singleLine;
    return k740::forEachSensorRecord(path, k740::sensorKind(singleLine),
                                     [&](const k740::SensorRecord& r) {
                                         out.list.emplace_back(r.payload, r.payload + r.length);
                                         return true;
                                     });
}

}  // namespace k740test
