// The GPS time-stamp check of the data blocks, without files, threads or Qt: the time
// registers a data block updates, the time texts, the seconds-jump rule and the main- and
// error-log lines of one block (labels as GBK bytes).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace k740 {

// Where a block carries its GPS date and time.
constexpr std::size_t kGpsTwoPointOffset = 94;  // protocol 0: block bytes 94-99, y m d h m s
constexpr std::size_t kGpsDateRecordOffset = 4 + 3 * 15;  // protocol 1: record 15, y m d
constexpr std::size_t kGpsTimeRecordOffset = 4 + 3 * 31;  // protocol 1: record 31, h m s

// The time stamp of a GPS date that is no valid date.
constexpr std::uint32_t kInvalidGpsSeconds = 4294967295u;

struct GpsTime {
    std::uint8_t year = 0;  // offset from 2000
    std::uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// Current and previous GPS time; zero, with no block read, at the start of a test.
struct GpsTimeRegisters {
    GpsTime current;
    GpsTime previous;
    int blocksRead = 0;  // since the reset, up to 2
    void reset() {
        current = previous = GpsTime{};
        blocksRead = 0;
    }
    // Moves current to previous and reads the block's date and time (protocol 1 from records
    // 15 and 31, any other protocol from bytes 94-99). `block` holds 100 bytes.
    void update(const std::uint8_t* block, int protocol);
    // The first block of a test has no earlier time to be compared with.
    bool hasPrevious() const { return blocksRead > 1; }
};

// "2024/05/12 03:04:05": 2000 + year, the rest filled to two digits.
std::string gpsClockText(const GpsTime& t);
// The time read as a local date-time, in seconds since 1970-01-01 00:00 UTC; 4294967295 when
// it is no valid date (month or day 00, 30 February, hour 24, ...).
std::uint32_t gpsSeconds(const GpsTime& t);
// A jump in the seconds alone: anything but one second on, the same second, or 59 -> 0.
bool isGpsJump(int currentSecond, int previousSecond);
// The PC's time beside each line: "yyyy-MM-dd hh:mm:ss:zzz" in local time.
std::string gpsLocalTimeText(std::chrono::system_clock::time_point t);

// What one block adds to the logs. A jump is looked for only when the registers hold an
// earlier block of the same test.
struct GpsBlockStep {
    std::string mainLines;  // the time line, the jump line on a jump, the dash line after block 11
    std::string errorLine;  // empty unless a jump
    bool jump = false;
    std::string stamp;  // the seconds in decimal, as sendTimeStamp carries them
};
GpsBlockStep gpsBlockStep(const GpsTimeRegisters& registers, const std::string& localTime,
                          int blockIndex);

// The main log's first line (GBK), line break included.
std::string gpsLogHeader();

}  // namespace k740
