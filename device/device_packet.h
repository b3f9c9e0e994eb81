// placeholder until the device information packet decoder lands
#pragma once
#pragma pack(push, 1)
struct SettingData { unsigned char bytes[149]; };
#pragma pack(pop)
