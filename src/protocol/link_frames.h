#pragma once
// The frames of the virtual device link. Both ends use this codec: the utility's link channel
// and hx7300-emulator. All integers are little-endian; frames have fixed sizes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/hresult.h"
#include "protocol/xu_packet.h"

namespace hx::link {

inline constexpr std::size_t kRequestFrameSize = 60;
inline constexpr std::size_t kDeviceFrameSize = 64;
/// The only length a frame may carry: one 52-byte packet.
inline constexpr std::uint16_t kFrameDataLength = 52;

using RequestFrameBytes = std::array<std::uint8_t, kRequestFrameSize>;
using DeviceFrameBytes = std::array<std::uint8_t, kDeviceFrameSize>;

enum class RequestKind : std::uint8_t { kSet = 1, kGet = 2 };
enum class DeviceFrameKind : std::uint8_t {
  kHello = 0x80,
  kSetDone = 0x81,
  kGetDone = 0x82,
  kInterrupt = 0x83,
};

/// Utility to device: one SetXU or GetXU.
struct RequestFrame {
  RequestKind kind = RequestKind::kSet;
  std::uint8_t selector = 0;
  std::uint32_t tag = 0;
  XuPacket data;  ///< SET: the packet; GET: zero
};

/// The result a server greets a client with when it cannot serve it now because another
/// client is being served; it closes the connection after that greeting.
inline constexpr HRESULT kHrDeviceBusy = kHrBusy;

/// Device to utility: the greeting, a done frame or a status interrupt. A HELLO whose result
/// is negative refuses the client: the connection is closed after it, and the client's open
/// fails with that result.
struct DeviceFrame {
  DeviceFrameKind kind = DeviceFrameKind::kHello;
  std::uint8_t selector = 0;  ///< echoed from the request; 0 for HELLO and interrupt
  std::uint32_t tag = 0;      ///< echoed from the request; 0 for HELLO and interrupt
  HRESULT result = S_OK;      ///< the transfer's result
  XuPacket data;              ///< GET done: the packet; HELLO: the device path; else zero
};

enum class FrameError { kNone, kUnknownKind, kBadLength };

RequestFrameBytes EncodeRequest(const RequestFrame& frame);
/// Decodes a request frame; frame is only meaningful when the result is kNone.
FrameError DecodeRequest(std::span<const std::uint8_t, kRequestFrameSize> bytes,
                         RequestFrame& frame);

DeviceFrameBytes EncodeDeviceFrame(const DeviceFrame& frame);
/// Decodes a device frame; frame is only meaningful when the result is kNone.
FrameError DecodeDeviceFrame(std::span<const std::uint8_t, kDeviceFrameSize> bytes,
                             DeviceFrame& frame);

/// The longest device path a HELLO carries (its data ends with a zero byte).
inline constexpr std::size_t kMaxDevicePath = kXuPacketSize - 1;
/// A HELLO announcing path, cut to kMaxDevicePath bytes.
DeviceFrame MakeHello(std::string_view path);
/// The device path of a HELLO: its data up to the first zero byte.
std::string HelloPath(const DeviceFrame& hello);
/// A status interrupt frame.
DeviceFrame MakeInterrupt();

}  // namespace hx::link
