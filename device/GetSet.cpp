// Status receiver: accepts only complete device information packets on the device port.
#include "device/GetSet.h"

// Device packets come once a second: the system's default receive buffer is ample.
GetSet::GetSet(QObject* parent)
    : k740::UdpReceiver(k740::ReceiveEngine::Role::DevicePackets, 2369, 0, parent) {}

GetSet::~GetSet() { endLoopForDestruction(); }
