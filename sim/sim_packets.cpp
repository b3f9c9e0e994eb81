// Packet builders of the simulated sensor and the sweep generator: the bytes a K740-P puts
// on the wire, built from SimState and the simulated room. No sockets, no clocks.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

#include "device/vertical_angles.h"
#include "sim/sim_config.h"
#include "sim/sim_engine.h"

namespace k740::sim {

namespace {

// Channel records holding the GPS date and time in the 30-point layout.
constexpr int kDateRecord = 15;   // year - 2000, month, day
constexpr int kTimeRecord = 31;   // hour, minute, second
// Block bytes holding the GPS date and time in the 2-point layout ("1.6").
constexpr std::size_t kTwoPointGpsOffset = 94;  // year - 2000, month, day, hour, minute, second
// Records that are points in the 2-point layout, and the time slot each is measured at.
constexpr int kTwoPointSecondRecord = 16;
constexpr int kTwoPointSecondSlot = 15;  // half a block later: the viewer interpolates step / 2

// Millimetres per raw distance count: 2 for "1.6", 4 for "1.7" (the viewer divides the
// count by 0.5 or 0.25).
double distanceUnitMm(int protocol) { return protocol == kProtocol17 ? 4.0 : 2.0; }

template <std::size_t N>
void copyText(std::array<char, N>& out, const std::string& text) {
    out.fill(0);
    std::copy_n(text.begin(), std::min(N, text.size()), out.begin());
}

std::uint8_t clampByte(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }
std::uint16_t clampWord(long v) { return static_cast<std::uint16_t>(std::clamp(v, 0L, 65535L)); }

// Signed values the way the sensor's counterpart reads them back: negative + 65535.
std::uint16_t signedWord65535(int v) { return clampWord(v < 0 ? v + 65535L : v); }

std::uint16_t rawAzimuth(double degrees) {
    double a = std::fmod(degrees, 360.0);
    if (a < 0.0) a += 360.0;
    long raw = std::lround(a * 100.0);
    if (raw >= 36000) raw -= 36000;
    return static_cast<std::uint16_t>(raw);
}

void writeRecord(std::uint8_t* rec, const SceneHit& hit, double unitMm) {
    writeLE16(rec, clampWord(std::lround(hit.distanceMm / unitMm)));
    rec[2] = clampByte(hit.intensity);
}

void writeDate(std::uint8_t* p, const CivilTime& t) {
    p[0] = clampByte(t.year - 2000);
    p[1] = clampByte(t.month);
    p[2] = clampByte(t.day);
}
void writeTime(std::uint8_t* p, const CivilTime& t) {
    p[0] = clampByte(t.hour);
    p[1] = clampByte(t.minute);
    p[2] = clampByte(t.second);
}

}  // namespace

SimState initialState(const SimConfig& config) {
    SimState s;
    s.dataPort = config.dataPort;
    s.devicePort = config.devicePort;
    s.protocol = config.protocol == kProtocol16 ? kProtocol16 : kProtocol17;
    s.dualReturn = config.dualReturn;
    s.singleLine = config.singleLine;
    s.rpm = config.rpm > 0 ? config.rpm : 600;
    std::uint32_t dest = 0;
    const std::string& target = config.multicastGroup.empty() ? config.host : config.multicastGroup;
    if (UdpSocket::parseIPv4(target, &dest)) {
        s.destIp = {{static_cast<std::uint8_t>(dest >> 24), static_cast<std::uint8_t>(dest >> 16),
                     static_cast<std::uint8_t>(dest >> 8), static_cast<std::uint8_t>(dest)}};
        // The gateway it reports lies in the destination's subnet, as on a sensor that works.
        s.gateway = {{s.destIp[0], s.destIp[1], s.destIp[2], 254}};
    }
    return s;
}

CivilTime civilTime(std::int64_t unixNs, bool local) {
    std::int64_t seconds = unixNs / 1000000000;
    if (unixNs < 0 && seconds * 1000000000 != unixNs) --seconds;
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
#ifdef _WIN32
    if (local) localtime_s(&tm, &t); else gmtime_s(&tm, &t);
#else
    if (local) localtime_r(&t, &tm); else gmtime_r(&t, &tm);
#endif
    CivilTime c;
    c.year = tm.tm_year + 1900;
    c.month = tm.tm_mon + 1;
    c.day = tm.tm_mday;
    c.hour = tm.tm_hour;
    c.minute = tm.tm_min;
    c.second = tm.tm_sec;
    return c;
}

double degreesPerSlot(int rpm) {
    return static_cast<double>(rpm) * 6.0 * (static_cast<double>(kSlotNanoseconds) * 1e-9);
}

int slotsPerDataPacket(const SimState& state) {
    const int blocks = state.dualReturn ? static_cast<int>(kBlockCount) / 2 : static_cast<int>(kBlockCount);
    return blocks * kSlotsPerBlock;
}

std::int64_t packetPeriodNs(const SimState& state) {
    if (state.singleLine) {
        const std::int64_t rpm = state.rpm > 0 ? state.rpm : 600;
        return 60000000000LL / (4 * rpm);  // four packets a revolution
    }
    return static_cast<std::int64_t>(slotsPerDataPacket(state)) * kSlotNanoseconds;
}

std::array<std::uint8_t, kDataPacketSize> buildDataPacket(const SimState& state, const SimScene& scene,
                                                          const PacketStamp& stamp) {
    std::array<std::uint8_t, kDataPacketSize> pkt{};
    const double unit = distanceUnitMm(state.protocol);
    const bool thirty = state.dualReturn || state.protocol == kProtocol17;
    for (int b = 0; b < static_cast<int>(kBlockCount); ++b) {
        std::uint8_t* block = pkt.data() + kBlockSize * static_cast<std::size_t>(b);
        // In dual return a pair of blocks shares one firing: even = first echo, odd = last.
        const int firing = state.dualReturn ? b / 2 : b;
        const bool lastEcho = state.dualReturn && (b % 2 == 1);
        const double blockAz = stamp.firstAzimuth + firing * kSlotsPerBlock * stamp.degreesPerSlot;
        block[0] = kBlockFlag0;
        block[1] = kBlockFlag1;
        writeLE16(block + kBlockAzimuthOffset, rawAzimuth(blockAz));
        std::uint8_t* rec = block + kFirstRecordOffset;
        const std::uint64_t seed = stamp.seed + static_cast<std::uint64_t>(firing) * 64 + (lastEcho ? 32 : 0);
        if (thirty) {
            for (int slot = 0; slot < kSlotsPerBlock; ++slot) {
                const int c = slot < kDateRecord ? slot : slot + 1;  // record 15 is the date
                const SceneHit hit = scene.measure(blockAz + slot * stamp.degreesPerSlot, lastEcho, seed + c);
                writeRecord(rec + c * kRecordSize, hit, unit);
            }
            writeDate(rec + kDateRecord * kRecordSize, stamp.gps);
            writeTime(rec + kTimeRecord * kRecordSize, stamp.gps);
        } else {
            writeRecord(rec, scene.measure(blockAz, false, seed), unit);
            writeRecord(rec + kTwoPointSecondRecord * kRecordSize,
                        scene.measure(blockAz + kTwoPointSecondSlot * stamp.degreesPerSlot, false,
                                      seed + kTwoPointSecondRecord),
                        unit);
            writeDate(block + kTwoPointGpsOffset, stamp.gps);
            writeTime(block + kTwoPointGpsOffset + 3, stamp.gps);
        }
    }
    writeLE32(pkt.data() + kTimeStampOffset, stamp.timeStamp);
    return pkt;
}

std::array<std::uint8_t, kSingleLinePacketSize> buildSingleLinePacket(const SimState& state,
                                                                      const SimScene& scene, int quarter,
                                                                      std::uint64_t seed) {
    std::array<std::uint8_t, kSingleLinePacketSize> pkt{};
    quarter = ((quarter % 4) + 4) % 4;
    pkt[0] = kSingleLineFlag0;
    pkt[1] = kSingleLineFlag1;
    const double start = 90.0 * quarter;
    writeBE32(pkt.data() + kSingleLineAzimuthOffset, static_cast<std::uint32_t>(quarter) * 900000u);
    const double unit = distanceUnitMm(state.protocol);
    std::uint8_t* rec = pkt.data() + kSingleLineFirstPoint;
    for (std::size_t k = 0; k < kSingleLinePoints; ++k, rec += kRecordSize)
        writeRecord(rec, scene.measure(start + kSingleLinePointStep * static_cast<double>(k), false, seed + k),
                    unit);
    return pkt;
}

DevicePacketFields devicePacketFields(const SimState& s, const CivilTime& now) {
    DevicePacketFields f;
    f.motorSpeed = clampWord(s.measuredRpm());
    f.sensorIp = s.lidarIp;
    f.destIp = s.destIp;
    f.mac = s.mac;
    f.dataPort = s.dataPort;
    f.devicePort = s.devicePort;
    f.ntpIp = s.ntpServer;
    f.gateway = s.gateway;
    f.subnetMask = s.subnetMask;
    f.motorState = clampWord(s.motorState);
    f.packetInterval = clampWord(s.packetInterval);
    f.sensorStatus = clampWord(s.sensorStatus);
    f.ppsSetAngle = clampWord(s.ppsAngle);
    f.ppsDeviationRaw = signedWord65535(s.ppsDeviation);
    f.gpsTime = {{clampByte(now.year - 2000), clampByte(now.month), clampByte(now.day), clampByte(now.hour),
                  clampByte(now.minute), clampByte(now.second)}};
    copyText(f.latitude, s.latitude);
    copyText(f.longitude, s.longitude);
    f.latitudeHemisphere = s.latitudeHemisphere;
    f.longitudeHemisphere = s.longitudeHemisphere;
    f.boardTemperatureCode = clampWord(s.board2Temperature + 50L);  // code - 50 = degrees Celsius
    f.lvdsState = s.lvdsLocked ? 0 : 1;                              // bit 0: 1 = not locked
    f.gpsState = clampByte(s.gpsState);
    f.ppsState = clampByte(s.ppsState);
    f.highTempPause = clampByte(s.highTempPause);
    // ADC code: degrees = code / 4096 * 330 - 50.
    f.stopTemperatureCode = clampWord(std::lround((s.stopTemperature + 50.0) * 4096.0 / 330.0));
    f.board3Values = s.board3Values;
    f.board2HighVoltage = clampWord(s.board2HighVoltage);
    f.board2HighVoltageAdjust = clampWord(s.board2HighVoltageAdjust);
    f.board2Threshold = clampByte(s.board2Threshold);
    f.measuringRange = clampWord(s.measuringRange);
    f.tailThreshold = clampWord(s.tailThreshold);
    f.tailDistance = clampWord(s.tailDistance);
    f.zeroAnglePosition = clampByte(s.zeroAnglePosition);
    f.echoMode = s.dualReturn ? 1 : 0;
    f.horizontalOffset = static_cast<std::uint16_t>(static_cast<std::int16_t>(
        std::clamp(s.horizontalOffset, -32768, 32767)));  // two's complement
    f.encoderZero = signedWord65535(s.encoderZero);
    for (int c = 0; c < kChannelCount; ++c)
        writeBE16(f.verticalAngles.data() + 2 * c, angleField(s.verticalAngles[c]));
    copyText(f.serialText, s.serial);
    f.versionPairs = s.versionPairs;
    f.board2Version = s.board2Version;
    f.board3Version = s.board3Version;
    return f;
}

DevicePacket buildDevicePacket(const SimState& state, const CivilTime& now) {
    DevicePacket packet = k740::buildDevicePacket(devicePacketFields(state, now));
    if (state.earlierGeneration) writeEarlierNetworkBlock(state, packet);
    return packet;
}

SweepGenerator::SweepGenerator(const SimState& state, std::int64_t startUnixNs, double startAzimuth)
    : state_(state), nowNs_(startUnixNs), azimuth_(std::fmod(startAzimuth, 360.0)) {
    if (azimuth_ < 0.0) azimuth_ += 360.0;
}

void SweepGenerator::setState(const SimState& state) {
    if (state.singleLine != state_.singleLine) quarter_ = 0;  // a new sweep starts at 0 degrees
    state_ = state;
}

SimPacket SweepGenerator::next() {
    SimPacket out;
    const std::int64_t period = packetPeriodNs(state_);
    if (!state_.streaming()) {
        nowNs_ += period;
        return out;
    }
    const std::uint64_t seed = mixSeed(sequence_);
    if (state_.singleLine) {
        const auto pkt = buildSingleLinePacket(state_, scene_, quarter_, seed);
        std::copy(pkt.begin(), pkt.end(), out.bytes.begin());
        out.size = pkt.size();
        quarter_ = (quarter_ + 1) % 4;
        azimuth_ = 90.0 * quarter_;
    } else {
        PacketStamp stamp;
        stamp.firstAzimuth = azimuth_;
        stamp.degreesPerSlot = degreesPerSlot(state_.rpm);
        const std::int64_t micros = nowNs_ / 1000;
        stamp.timeStamp = static_cast<std::uint32_t>(((micros % 3600000000LL) + 3600000000LL) % 3600000000LL);
        stamp.gps = civilTime(nowNs_, state_.timeSource == TimeSource::LocalClock);
        stamp.seed = seed;
        out.bytes = buildDataPacket(state_, scene_, stamp);
        out.size = kDataPacketSize;
        azimuth_ = std::fmod(azimuth_ + slotsPerDataPacket(state_) * stamp.degreesPerSlot, 360.0);
    }
    nowNs_ += period;
    ++sequence_;
    return out;
}

}  // namespace k740::sim
