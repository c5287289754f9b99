#pragma once
// The status packet read from selector 1: a count and the opcodes whose replies wait.

#include <algorithm>
#include <cstdint>
#include <span>

#include "protocol/xu_packet.h"

namespace hx {

/// Byte 4 of a status packet that carries a device message instead of a list.
inline constexpr std::uint8_t kDeviceMessageCoded = 0xFE;
inline constexpr std::uint8_t kDeviceMessageText = 0xFF;
inline constexpr std::size_t kStatusListCapacity = 48;

class XuStatusPacket {
 public:
  explicit XuStatusPacket(const XuPacket& packet) : packet_(packet) {}

  std::uint8_t Count() const { return packet_.Byte(0); }
  /// The valid list entries. A count above 48 names more entries than the packet holds;
  /// only the 48 that it holds are given.
  std::span<const std::uint8_t> Entries() const {
    const std::size_t valid = std::min<std::size_t>(Count(), kStatusListCapacity);
    return std::span<const std::uint8_t>(packet_.Payload()).first(valid);
  }
  /// True when byte 4 marks a device message rather than a list.
  bool IsDeviceMessage() const {
    const std::uint8_t first = packet_.Byte(4);
    return first == kDeviceMessageCoded || first == kDeviceMessageText;
  }

  /// Builds a status packet listing the given opcodes (at most 48 are kept).
  static XuPacket Build(std::span<const std::uint8_t> opcodes) {
    XuPacket packet;
    const std::size_t listed = std::min(opcodes.size(), kStatusListCapacity);
    packet.SetByte(0, static_cast<std::uint8_t>(listed));
    std::copy_n(opcodes.begin(), listed, packet.Payload().begin());
    return packet;
  }

 private:
  const XuPacket& packet_;
};

}  // namespace hx
