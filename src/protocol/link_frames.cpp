#include "protocol/link_frames.h"

#include <algorithm>

namespace hx::link {
namespace {

constexpr std::size_t kKindOffset = 0;
constexpr std::size_t kSelectorOffset = 1;
constexpr std::size_t kLengthOffset = 2;
constexpr std::size_t kTagOffset = 4;
constexpr std::size_t kRequestDataOffset = 8;
constexpr std::size_t kResultOffset = 8;
constexpr std::size_t kDeviceDataOffset = 12;

void PutU16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
  bytes[offset] = static_cast<std::uint8_t>(value);
  bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

std::uint16_t GetU16(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

std::uint32_t GetU32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    value |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
  }
  return value;
}

void PutHeader(std::span<std::uint8_t> bytes, std::uint8_t kind, std::uint8_t selector,
               std::uint32_t tag) {
  bytes[kKindOffset] = kind;
  bytes[kSelectorOffset] = selector;
  PutU16(bytes, kLengthOffset, kFrameDataLength);
  PutU32(bytes, kTagOffset, tag);
}

XuPacket PacketAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return XuPacket::FromBytes(bytes.subspan(offset).first<kXuPacketSize>());
}

bool IsDeviceKind(std::uint8_t kind) {
  return kind >= static_cast<std::uint8_t>(DeviceFrameKind::kHello) &&
         kind <= static_cast<std::uint8_t>(DeviceFrameKind::kInterrupt);
}

}  // namespace

RequestFrameBytes EncodeRequest(const RequestFrame& frame) {
  RequestFrameBytes bytes{};
  PutHeader(bytes, static_cast<std::uint8_t>(frame.kind), frame.selector, frame.tag);
  std::ranges::copy(frame.data.Bytes(), bytes.begin() + kRequestDataOffset);
  return bytes;
}

FrameError DecodeRequest(std::span<const std::uint8_t, kRequestFrameSize> bytes,
                         RequestFrame& frame) {
  const std::uint8_t kind = bytes[kKindOffset];
  if (kind != static_cast<std::uint8_t>(RequestKind::kSet) &&
      kind != static_cast<std::uint8_t>(RequestKind::kGet)) {
    return FrameError::kUnknownKind;
  }
  if (GetU16(bytes, kLengthOffset) != kFrameDataLength) {
    return FrameError::kBadLength;
  }
  frame.kind = static_cast<RequestKind>(kind);
  frame.selector = bytes[kSelectorOffset];
  frame.tag = GetU32(bytes, kTagOffset);
  frame.data = PacketAt(bytes, kRequestDataOffset);
  return FrameError::kNone;
}

DeviceFrameBytes EncodeDeviceFrame(const DeviceFrame& frame) {
  DeviceFrameBytes bytes{};
  PutHeader(bytes, static_cast<std::uint8_t>(frame.kind), frame.selector, frame.tag);
  PutU32(bytes, kResultOffset, static_cast<std::uint32_t>(frame.result));
  std::ranges::copy(frame.data.Bytes(), bytes.begin() + kDeviceDataOffset);
  return bytes;
}

FrameError DecodeDeviceFrame(std::span<const std::uint8_t, kDeviceFrameSize> bytes,
                             DeviceFrame& frame) {
  const std::uint8_t kind = bytes[kKindOffset];
  if (!IsDeviceKind(kind)) {
    return FrameError::kUnknownKind;
  }
  if (GetU16(bytes, kLengthOffset) != kFrameDataLength) {
    return FrameError::kBadLength;
  }
  frame.kind = static_cast<DeviceFrameKind>(kind);
  frame.selector = bytes[kSelectorOffset];
  frame.tag = GetU32(bytes, kTagOffset);
  frame.result = static_cast<HRESULT>(GetU32(bytes, kResultOffset));
  frame.data = PacketAt(bytes, kDeviceDataOffset);
  return FrameError::kNone;
}

DeviceFrame MakeHello(std::string_view path) {
  DeviceFrame hello;
  hello.kind = DeviceFrameKind::kHello;
  SetFieldText(hello.data.Bytes(), path);
  return hello;
}

std::string HelloPath(const DeviceFrame& hello) {
  const XuConstBytes data = hello.data.Bytes();
  const auto end = std::find(data.begin(), data.end(), std::uint8_t{0});
  return std::string(data.begin(), end);
}

DeviceFrame MakeInterrupt() {
  DeviceFrame interrupt;
  interrupt.kind = DeviceFrameKind::kInterrupt;
  return interrupt;
}

}  // namespace hx::link
