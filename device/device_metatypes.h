// The device status values that travel through queued signal connections.
#pragma once

#include <QMetaType>
#include <vector>

#include "device/device_packet.h"

Q_DECLARE_METATYPE(SettingData)
Q_DECLARE_METATYPE(std::vector<int>)

namespace k740 {
// Registers SettingData and the status values vector (also under the spellings used in
// signal signatures). Idempotent.
void registerDeviceMetaTypes();
}  // namespace k740
