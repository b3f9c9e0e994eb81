// The device information packet search of the advanced settings window.
#include "device/device_packet_search.h"

#include <string>
#include <vector>

#include "device/device_packet.h"

namespace k740 {

AdapterChoice chooseDeviceAdapter(const QString& captureInterface, std::uint32_t sensorAddress,
                                  QString* failure) {
    std::string error;
    const auto adapters = listCaptureAdapters(&error);
    const AdapterChoice choice =
        chooseCaptureAdapter(adapters, sensorAddress, captureInterface.toStdString());
    if (!choice.ok() && failure)
        *failure = QString::fromStdString((error.empty() ? choice.error : error) + ". " +
                                          adapterChoiceHelp(adapters));
    return choice;
}

DevicePacketFound searchDevicePacket(const DevicePacketSearch& search) {
    DevicePacketFound found;
    const AdapterChoice choice =
        chooseDeviceAdapter(search.captureInterface, search.sensorAddress, &found.detail);
    if (!choice.ok()) {
        found.status = DevicePacketFound::Status::NoAdapter;
        return found;
    }
    FrameSearch frames;
    frames.frameLimit = search.frameLimit;
    // Only UDP payloads beginning A5 FF reach the count: the data stream (about 900 packets a
    // second) would otherwise use up the frame limit before the next device packet came.
    frames.filter = "udp[8:2] = 0xa5ff";
    const bool fullHeader = search.fullHeader;
    const QString sensorFilter = search.sensorFilter;
    std::vector<std::uint8_t> frame;
    std::string error;
    const FrameSearchResult result = searchFrame(
        choice.name, frames,
        [fullHeader, &sensorFilter](const std::uint8_t* bytes, std::size_t length) {
            const auto packet = devicePacketFromFrame(bytes, length, fullHeader);
            return packet &&
                   (sensorFilter.isEmpty() || QString::fromStdString(ipv4Text(packet->sourceIp)) == sensorFilter);
        },
        &frame, &error);
    if (result == FrameSearchResult::OpenFailed) {
        found.status = DevicePacketFound::Status::NoAdapter;
        found.detail = QString::fromStdString(error);
        return found;
    }
    if (result == FrameSearchResult::NotFound) return found;
    found.status = DevicePacketFound::Status::Found;
    found.packet = *devicePacketFromFrame(frame.data(), frame.size(), fullHeader);
    return found;
}

DevicePacketSearchThread::DevicePacketSearchThread(const DevicePacketSearch& search, QObject* parent)
    : QThread(parent), m_Search(search) {
    qRegisterMetaType<k740::DevicePacketFound>();
}

DevicePacketSearchThread::~DevicePacketSearchThread() { wait(); }

void DevicePacketSearchThread::run() { emit searchEnded(searchDevicePacket(m_Search)); }

}  // namespace k740
