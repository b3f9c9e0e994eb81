// Registration of the device status value types.
#include "device/device_metatypes.h"

namespace k740 {

void registerDeviceMetaTypes() {
    qRegisterMetaType<SettingData>("SettingData");
    qRegisterMetaType<SettingData>("struct SettingData");
    qRegisterMetaType<std::vector<int>>("std::vector<int>");
}

}  // namespace k740
