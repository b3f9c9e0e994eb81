// Byte layout of the measurement packets (the endian-safe readers come with it).
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/device_header.h"
#include "platform/byte_order.h"

namespace k740 {

// Data packet: twelve 100-byte blocks, then a 4-byte time stamp and 2 spare bytes.
constexpr std::size_t kDataPacketSize = 1206;
constexpr std::size_t kBlockCount = 12;
constexpr std::size_t kBlockSize = 100;
constexpr std::size_t kBlockAzimuthOffset = 2;  // LE16, hundredths of a degree
constexpr std::size_t kFirstRecordOffset = 4;   // 32 records of 3 bytes
constexpr std::size_t kRecordSize = 3;          // LE16 distance count + intensity byte
constexpr std::size_t kRecordsPerBlock = 32;
constexpr std::size_t kTimeStampOffset = 1200;  // LE32, microseconds
constexpr std::uint8_t kBlockFlag0 = 0xFF, kBlockFlag1 = 0xEE;

// Single-line packet: A2 5C, start azimuth at 20 (BE32, ten-thousandths of a degree),
// 250 records of 3 bytes from offset 28.
constexpr std::size_t kSingleLinePacketSize = 778;
constexpr std::size_t kSingleLineAzimuthOffset = 20;
constexpr std::size_t kSingleLineFirstPoint = 28;
constexpr std::size_t kSingleLinePoints = 250;
constexpr double kSingleLinePointStep = 0.36;  // degrees between points
constexpr std::uint8_t kSingleLineFlag0 = 0xA2, kSingleLineFlag1 = 0x5C;

// A datagram of a data packet's length may instead be a device information packet: its
// header, kDeviceHeader, comes from device/device_header.h.

// Capture files: Ethernet + IPv4 + UDP header in front of every sensor payload.
constexpr std::size_t kCaptureHeaderSize = 42;
constexpr std::size_t kCaptureDataRecordSize = kCaptureHeaderSize + kDataPacketSize;  // 1248
constexpr std::size_t kCaptureSingleLineRecordSize =
    kCaptureHeaderSize + kSingleLinePacketSize;  // 820

// Packet protocols (index of the protocol combo box) and return modes (echo combo box).
enum ProtocolIndex : int { kProtocol16 = 0, kProtocol17 = 1 };
enum ReturnModeIndex : int { kStrongEcho = 0, kDualEcho = 1, kDualEchoFirst = 2, kDualEchoSecond = 3 };

enum class PacketKind { Unknown, Data, DeviceInfo, SingleLine };

// Classifies a datagram by its length first, then by its leading bytes.
PacketKind classifyDatagram(const std::uint8_t* data, std::size_t length);

}  // namespace k740
