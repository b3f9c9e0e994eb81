// The advanced settings window's search for a device information packet: the adapter that
// carries the sensor's traffic is chosen and searched for one packet, within the search's own
// bound (platform/capture_device.h). Everything the search needs goes in as a value and its
// result comes back as one, so it runs on a worker thread while the window goes on.
#pragma once

#include <QMetaType>
#include <QString>
#include <QThread>
#include <cstdint>

#include "device/advanced_config.h"
#include "platform/capture_device.h"

namespace k740 {

struct DevicePacketSearch {
    QString captureInterface;        // the adapter named on the command line (empty = choose)
    std::uint32_t sensorAddress = 0;  // host order; its subnet's adapter is searched (0 = unknown)
    QString sensorFilter;            // only packets from this address count (empty = any)
    bool fullHeader = false;         // A5 FF 00 5A rather than A5 FF
    int frameLimit = 3000;           // frames passing the capture filter, at most
};

struct DevicePacketFound {
    enum class Status { Found, NoAdapter, NotFound };
    Status status = Status::NotFound;
    CapturedDevicePacket packet;  // when Found
    QString detail;               // when NoAdapter: why, and which adapters were tried
};

// The adapter to search, or (in *failure) the message that names why there is none.
AdapterChoice chooseDeviceAdapter(const QString& captureInterface, std::uint32_t sensorAddress,
                                  QString* failure);

// Chooses the adapter and searches it; blocks up to the search's bound (about 5 s).
DevicePacketFound searchDevicePacket(const DevicePacketSearch& search);

// One search on a thread of its own: a thin shell around searchDevicePacket that hands the
// result, as a value, to the thread that started it (through a queued signal). Destroying it
// waits for the search to end, which takes at most the search's bound.
class DevicePacketSearchThread : public QThread {
    Q_OBJECT
public:
    explicit DevicePacketSearchThread(const DevicePacketSearch& search, QObject* parent = nullptr);
    ~DevicePacketSearchThread() override;

signals:
    void searchEnded(k740::DevicePacketFound found);

protected:
    void run() override;

private:
    const DevicePacketSearch m_Search;  // read-only once the thread runs
};

}  // namespace k740

Q_DECLARE_METATYPE(k740::DevicePacketFound)
