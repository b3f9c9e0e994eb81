// Value types that travel through queued signal connections.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <vector>

#include "acquisition/lidar_frame.h"
#include "device/device_metatypes.h"

Q_DECLARE_METATYPE(LidarDataSingleLine)

namespace k740 {
// Registers the frame record, the device status types and QList<int> (also under the
// spellings used in signal signatures). Idempotent.
void registerMetaTypes();
}  // namespace k740
