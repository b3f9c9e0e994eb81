// The demonstration start-up: a simulated sensor inside the process, on the loopback
// interface, feeding the window's live display.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class manwindow;
namespace k740::sim {
class SimEngine;
class ConfigListener;
}

namespace k740 {

class DemoSession {
public:
    ~DemoSession();  // stops the simulated sensor

    // Starts the simulated sensor at 127.0.0.2 sending to 127.0.0.1 (on the form's ports when
    // they are free, otherwise on free ones written into the form), selects the 30-point
    // protocol and switches the live display on. Null (and the reason in *error) on failure.
    static std::unique_ptr<DemoSession> start(manwindow& window, int rpm, QString* error);

    std::uint16_t dataPort() const { return dataPort_; }
    std::uint16_t devicePort() const { return devicePort_; }
    sim::SimEngine& engine() { return *engine_; }

private:
    DemoSession() = default;
    std::unique_ptr<sim::SimEngine> engine_;
    std::unique_ptr<sim::ConfigListener> listener_;  // the sensor's configuration port
    std::uint16_t dataPort_ = 0;
    std::uint16_t devicePort_ = 0;
};

// Two distinct UDP ports that can be bound now: the wished ones when both are free, otherwise
// ports the system hands out.
bool pickLoopbackPorts(std::uint16_t wishData, std::uint16_t wishDevice, std::uint16_t* data,
                       std::uint16_t* device);

}  // namespace k740
