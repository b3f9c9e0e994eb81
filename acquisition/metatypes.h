// Value types that travel through queued signal connections.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <vector>

#include "acquisition/lidar_frame.h"
#include "device/device_packet.h"

Q_DECLARE_METATYPE(LidarDataSingleLine)
Q_DECLARE_METATYPE(SettingData)
Q_DECLARE_METATYPE(std::vector<int>)

namespace k740 {
// Registers the meta types (also under the spellings used in signal signatures). Idempotent.
void registerMetaTypes();
}  // namespace k740
