// The simulated K740-P: what it is (SimState), the packets it sends (pure builders and the
// sweep generator) and the engine that sends them over UDP at the sensor's pace.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/lidar_frame.h"
#include "acquisition/packet_format.h"
#include "device/device_packet.h"
#include "platform/udp_socket.h"
#include "playback/capture_index.h"
#include "sim/sim_scene.h"

namespace k740::sim {

struct SimConfig {
    std::string host = "127.0.0.1";     // destination of both streams
    std::uint16_t dataPort = 2368;
    std::uint16_t devicePort = 2369;
    std::string multicastGroup;          // non-empty: send the data stream to this group
    std::string multicastInterface;      // outgoing interface for multicast (e.g. 127.0.0.1)
    std::string sourceAddress;           // optional local address to bind (e.g. 127.0.0.2), empty = any
    int protocol = 1;                    // 0 = "1.6" (2 points a block), 1 = "1.7" (30 points a block)
    bool dualReturn = false;             // even blocks first echo, odd blocks second echo (30-point layout)
    bool singleLine = false;             // send 778-byte single-line packets instead
    int rpm = 600;                       // 300, 600 or 1200
    std::string replayFile;              // non-empty: send a capture's sensor payloads at their recorded pace
    bool replayLoop = false;             // start the capture again at its end
    bool deviceInfo = true;              // one device information packet per second to devicePort
    double speedFactor = 1.0;            // >1 sends faster than real time (tests)
};

enum class TimeSource : int { Gps = 0, Ntp = 1, LocalClock = 2 };

// Everything the simulated sensor is. The device information packet is built from it, the
// sweep generator reads the operating values from it.
struct SimState {
    // Network settings (packet content; the engine only ever sends to the configured host).
    std::array<std::uint8_t, 4> lidarIp{{192, 168, 1, 222}};
    std::array<std::uint8_t, 4> destIp{{192, 168, 1, 102}};
    std::array<std::uint8_t, 6> mac{{0x60, 0x76, 0x88, 0x1A, 0x2B, 0x3C}};
    std::uint16_t dataPort = 2368;
    std::uint16_t devicePort = 2369;
    std::array<std::uint8_t, 4> ntpServer{{192, 168, 1, 1}};
    std::array<std::uint8_t, 4> gateway{{192, 168, 1, 1}};
    std::array<std::uint8_t, 4> subnetMask{{255, 255, 255, 0}};

    // Operating state.
    int rpm = 600;                 // set rotation speed
    int motorState = 0;            // 0 run, 1 stop, 2 output-rate mode
    int packetInterval = 0;
    int sensorStatus = 0;          // 0 running, 1 sleeping
    int ppsAngle = 0;              // PPS set angle, hundredths of a degree
    int ppsDeviation = 0;          // hundredths of a degree, signed
    TimeSource timeSource = TimeSource::Gps;
    int protocol = 1;              // 0 = "1.6", 1 = "1.7"
    bool dualReturn = false;
    bool singleLine = false;
    bool earlierGeneration = false;  // device packets in the earlier layout (byte 1202 = 3)

    // Advanced parameters.
    int measuringRange = 20000;    // metres x 100
    int tailThreshold = 10;
    int tailDistance = 50;         // cm
    int zeroAnglePosition = 1;     // 0 cable side, 1 straight ahead
    int horizontalOffset = 0;      // hundredths of a degree, signed
    int encoderZero = 0;           // hundredths of a degree
    // Vertical angles of channels 0-15, hundredths of a degree, signed. All 0: the simulated
    // sensor measures in the horizontal plane until a vertical angle packet says otherwise.
    std::array<int, 16> verticalAngles{};

    // Position and health.
    std::string latitude = "3958.2134";   // ddmm.mmmm, up to 10 characters
    char latitudeHemisphere = 'N';
    std::string longitude = "11619.4521";  // dddmm.mmmm
    char longitudeHemisphere = 'E';
    int board2Temperature = 41;    // degrees Celsius
    bool lvdsLocked = true;
    int gpsState = 1;
    int ppsState = 1;
    int highTempPause = 0;
    double stopTemperature = 85.0; // degrees Celsius
    std::array<std::uint8_t, 10> board3Values{{1, 2, 3, 4, 5, 6, 7, 8, 9, 0}};
    int board2HighVoltage = 180;
    int board2HighVoltageAdjust = 12;
    int board2Threshold = 35;

    // Identity and firmware.
    std::string serial = "K740P-SIM-00000001";  // up to 20 characters
    std::array<std::uint8_t, 2> board2Version{{3, 0x12}};               // V3.1.2
    std::array<std::uint8_t, 6> board3Version{{20, 25, 3, 18, 1, 0x05}};  // 2025.3.18-V.1.0.5
    std::array<std::uint8_t, 10> versionPairs{{1, 0, 1, 2, 2, 1, 1, 5, 3, 0}};

    // True while the sensor sends measurements (motor turning and not asleep).
    bool streaming() const { return motorState != 1 && sensorStatus == 0; }
    // Motor speed as the sensor measures it.
    int measuredRpm() const { return motorState == 1 ? 0 : rpm; }
};

// The state a fresh simulated sensor starts with for the given configuration.
SimState initialState(const SimConfig& config);

// Calendar time as the sensor writes it into its packets.
struct CivilTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
// UTC (GPS) or local calendar time of a Unix time in nanoseconds.
CivilTime civilTime(std::int64_t unixNs, bool local);

// Firing timing: one point every 3.125 us; a block of the 30-point layout spans 30 such slots.
constexpr std::int64_t kSlotNanoseconds = 3125;
constexpr int kSlotsPerBlock = 30;

// Azimuth advance per time slot at the given speed, degrees.
double degreesPerSlot(int rpm);
// Time slots one data packet spans: 12 blocks of 30 slots, or 6 pairs in dual return.
int slotsPerDataPacket(const SimState& state);
// Simulated time between two packets of the current kind, nanoseconds.
std::int64_t packetPeriodNs(const SimState& state);

// Where and when one data packet was measured.
struct PacketStamp {
    double firstAzimuth = 0.0;      // degrees, the first point of block 0
    double degreesPerSlot = 0.0;    // azimuth advance per time slot
    std::uint32_t timeStamp = 0;    // T, microseconds within the hour of the first point
    CivilTime gps;                  // date and time written into the blocks
    std::uint64_t seed = 0;         // noise seed of this packet
};

// A 1206-byte data packet in the layout chosen by state.protocol and state.dualReturn.
std::array<std::uint8_t, kDataPacketSize> buildDataPacket(const SimState& state, const SimScene& scene,
                                                          const PacketStamp& stamp);
// A 778-byte single-line packet for quarter 0..3 (start azimuth 0, 90, 180, 270 degrees).
std::array<std::uint8_t, kSingleLinePacketSize> buildSingleLinePacket(const SimState& state,
                                                                      const SimScene& scene, int quarter,
                                                                      std::uint64_t seed);
// The device information packet of the state; `now` goes into the GPS/NTP time field.
DevicePacketFields devicePacketFields(const SimState& state, const CivilTime& now);
DevicePacket buildDevicePacket(const SimState& state, const CivilTime& now);

// One packet of the measurement stream (data or single-line; size 0 while the sensor is not
// streaming).
struct SimPacket {
    std::array<std::uint8_t, kDataPacketSize> bytes{};
    std::size_t size = 0;
};

// The measurement stream as a sequence of packets in simulated time, free of sockets and
// clocks: the engine paces it, the tests decode it directly.
class SweepGenerator {
public:
    SweepGenerator(const SimState& state, std::int64_t startUnixNs, double startAzimuth = 0.0);

    // Takes effect with the next packet.
    void setState(const SimState& state);
    const SimState& state() const { return state_; }

    // Builds the packet measured at now() and advances simulated time by one period.
    SimPacket next();

    std::int64_t now() const { return nowNs_; }   // Unix ns of the next packet
    double azimuth() const { return azimuth_; }   // degrees, first point of the next packet
    std::uint64_t sequence() const { return sequence_; }

private:
    SimState state_;
    SimScene scene_;
    std::int64_t nowNs_;
    double azimuth_;
    std::uint64_t sequence_ = 0;
    int quarter_ = 0;
};

// `count` whole revolutions of the simulated room in protocol "1.7" at `rpm`, decoded as the
// live receiver decodes them (the first, partial revolution left out). For tests and benches.
std::vector<LidarDataSingleLine> sweepFrames(int rpm, int count);

class SimEngine {
public:
    explicit SimEngine(SimConfig config);
    ~SimEngine();  // stops
    SimEngine(const SimEngine&) = delete;
    SimEngine& operator=(const SimEngine&) = delete;

    bool start(std::string* error = nullptr);  // opens sockets, starts its own thread
    void stop();                               // joins promptly
    bool running() const;
    std::uint64_t dataPacketsSent() const;
    std::uint64_t devicePacketsSent() const;
    SimState state() const;                    // copy under a mutex
    // Replaces what the sensor is; the stream follows with its next packet.
    void setState(const SimState& state);
    const SimConfig& config() const { return config_; }
    // Sends the device information packets through this socket instead of the data socket
    // (nullptr: back to the data socket). A sensor answering configuration packets sends its
    // device packets from the port it listens on, so that a host tool can answer to the
    // packet's source. The socket must outlive its use here.
    void setDevicePacketSocket(UdpSocket* socket);

    // Checks that a capture file can be read for replay.
    static bool checkReplayFile(const std::string& path, std::string* error);

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        SimPacket packet;
        Clock::time_point due;
    };
    void run();
    bool fetchSynthetic(SweepGenerator& gen, Pending& out);
    bool fetchReplay(Pending& out);
    bool openReplay(std::string* error);
    void closeReplay();
    std::int64_t simulatedNowNs() const;

    SimConfig config_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    SimState state_;
    std::uint64_t stateVersion_ = 0;
    std::thread thread_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> running_{false};
    std::atomic<std::uint64_t> dataSent_{0};
    std::atomic<std::uint64_t> deviceSent_{0};
    UdpSocket socket_;
    UdpSocket* deviceSocket_ = nullptr;  // under mutex_
    std::string dataDestination_;

    // Pacing: real time t0_ corresponds to simulated time simStartNs_.
    Clock::time_point t0_;
    std::int64_t simStartNs_ = 0;

    // Replay reader state (worker thread only once started).
    SensorRecordReader replay_;  // sensor packets of both kinds
    bool replayHaveBase_ = false;
    std::int64_t replayFirstNs_ = 0;    // time stamp of the first record of this pass
    Clock::time_point replayPassStart_;
    Clock::time_point replayLastDue_;
    std::uint64_t replaySentThisPass_ = 0;
};

}  // namespace k740::sim
