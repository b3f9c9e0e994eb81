// Registration of the value types that cross threads in queued signals.
#include "acquisition/metatypes.h"

namespace k740 {

void registerMetaTypes() {
    qRegisterMetaType<LidarDataSingleLine>("LidarDataSingleLine");
    qRegisterMetaType<LidarDataSingleLine>("struct LidarDataSingleLine");
    registerDeviceMetaTypes();
    qRegisterMetaType<QList<int>>("QList<int>");
}

}  // namespace k740
