#pragma once
// Messages that the device puts in a status packet in place of a list: byte 4 holds 0xFE or
// 0xFF. Three forms, tested in this order: E:F:S (byte 1 = 4), coded text (byte 4 = 0xFE),
// plain text (byte 4 = 0xFF).

#include <cstdint>
#include <span>
#include <variant>

#include "protocol/xu_packet.h"

namespace hx {

struct XuDeviceMessage {
  struct Efs {
    std::uint32_t e;
    std::uint16_t f;
    std::uint16_t s;
  };
  struct CodedText {
    std::uint32_t code;
    std::span<const std::uint8_t> text;  ///< bytes 12..51, up to the first zero byte
  };
  struct PlainText {
    std::span<const std::uint8_t> text;  ///< bytes 5..51, up to the first zero byte
  };
  struct None {};
  using Form = std::variant<None, Efs, CodedText, PlainText>;

  /// The message a packet carries; None when it carries none. The spans refer into packet.
  static Form Decode(const XuPacket& packet);
};

/// Prints one device message: the E:F:S and coded forms with the system's text for their code,
/// on the console and the debugger output; the plain form on the console only. A packet that
/// carries no message prints nothing.
void ReportDeviceMessage(const XuPacket& packet);

}  // namespace hx
