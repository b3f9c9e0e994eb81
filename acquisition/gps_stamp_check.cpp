// GPS time-stamp check: registers, texts, the jump rule and the lines of one block.
#include "acquisition/gps_stamp_check.h"

#include <cstdio>
#include <ctime>

namespace k740 {

namespace {

// The logs' labels as GBK bytes: GPS时间, GPS时间发生跳变, 本地时间.
const char* const kGpsLabel = "\t\t\tGPS\xCA\xB1\xBC\xE4 :";
const char* const kJumpLabel = "GPS\xCA\xB1\xBC\xE4\xB7\xA2\xC9\xFA\xCC\xF8\xB1\xE4 :";
const char* const kLocalLabel = "\xB1\xBE\xB5\xD8\xCA\xB1\xBC\xE4";
const char* const kDashes42 = "------------------------------------------";
const char* const kDashes14 = "--------------";

bool localTime(std::time_t t, std::tm* out) {
#ifdef _WIN32
    return localtime_s(out, &t) == 0;
#else
    return localtime_r(&t, out) != nullptr;
#endif
}

bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

}  // namespace

void GpsTimeRegisters::update(const std::uint8_t* block, int protocol) {
    previous = current;
    const std::uint8_t* date = block + (protocol == 1 ? kGpsDateRecordOffset : kGpsTwoPointOffset);
    const std::uint8_t* time =
        block + (protocol == 1 ? kGpsTimeRecordOffset : kGpsTwoPointOffset + 3);
    current.year = date[0];
    current.month = date[1];
    current.day = date[2];
    current.hour = time[0];
    current.minute = time[1];
    current.second = time[2];
    if (blocksRead < 2) ++blocksRead;
}

std::string gpsClockText(const GpsTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%d/%02d/%02d %02d:%02d:%02d", 2000 + t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

std::uint32_t gpsSeconds(const GpsTime& t) {
    const int year = 2000 + t.year;
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > daysInMonth(year, t.month) ||
        t.hour > 23 || t.minute > 59 || t.second > 59)
        return kInvalidGpsSeconds;
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = t.month - 1;
    local.tm_mday = t.day;
    local.tm_hour = t.hour;
    local.tm_min = t.minute;
    local.tm_sec = t.second;
    local.tm_isdst = -1;  // as the local rules say for that date
    const std::time_t seconds = std::mktime(&local);
    if (seconds == static_cast<std::time_t>(-1)) return kInvalidGpsSeconds;
    return static_cast<std::uint32_t>(seconds);
}

bool isGpsJump(int currentSecond, int previousSecond) {
    const bool oneOn = currentSecond - previousSecond == 1;
    const bool same = currentSecond == previousSecond;
    const bool wrap = previousSecond == 59 && currentSecond == 0;
    return !(oneOn || same || wrap);
}

std::string gpsLocalTimeText(std::chrono::system_clock::time_point t) {
    const auto sinceEpoch = t.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch - seconds).count();
    std::tm local{};
    if (!localTime(static_cast<std::time_t>(seconds.count()), &local)) return std::string();
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d:%03lld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, ms);
    return text;
}

GpsBlockStep gpsBlockStep(const GpsTimeRegisters& registers, const std::string& localTime,
                          int blockIndex) {
    GpsBlockStep step;
    const std::string g = gpsClockText(registers.current);
    step.stamp = std::to_string(gpsSeconds(registers.current));
    step.mainLines = localTime + kGpsLabel + g + "\t\t" + step.stamp + '\n';
    step.jump = registers.hasPrevious() &&
                isGpsJump(registers.current.second, registers.previous.second);
    if (step.jump) {
        const std::string p = gpsClockText(registers.previous);
        step.mainLines += std::string(kDashes14) + ' ' + kJumpLabel + ' ' + p + " -> " + g +
                          kDashes14 + '\n';
        step.errorLine = localTime + "\t\t\t" + kJumpLabel + p + " -> " + g + '\n';
    }
    if (blockIndex == 11) step.mainLines += std::string(kDashes42) + '\n';
    return step;
}

std::string gpsLogHeader() {
    return std::string("\t\t") + kLocalLabel + "\t\t\t\t\t\t GPS\xCA\xB1\xBC\xE4\n";
}

}  // namespace k740
