#pragma once
// Messages that the device puts in a status packet in place of a list: byte 4 holds 0xFE or
// 0xFF. Three forms, tested in this order: E:F:S (byte 1 = 4), coded text (byte 4 = 0xFE),
// plain text (byte 4 = 0xFF).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <variant>

#include "protocol/status_packet.h"
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
  /// A status packet carrying form (the device's side); text that does not fit is cut at the
  /// packet's end without a terminator. None gives a packet of zeros.
  static XuPacket Encode(const Form& form);

  static constexpr std::size_t kFormOffset = 1;  ///< 4 selects the E:F:S form
  static constexpr std::uint8_t kEfsForm = 4;
  static constexpr std::size_t kMarkerOffset = 4;  ///< 0xFE or 0xFF; the low byte of E
  static constexpr std::size_t kEfsFOffset = 8;
  static constexpr std::size_t kEfsSOffset = 10;
  static constexpr std::size_t kCodeOffset = 8;
  static constexpr std::size_t kCodedTextOffset = 12;
  static constexpr std::size_t kPlainTextOffset = 5;
};

inline XuPacket XuDeviceMessage::Encode(const Form& form) {
  // The device fills a text field to its end when the text is long; no terminator then.
  const auto put_text = [](XuPacket& packet, std::size_t first,
                           std::span<const std::uint8_t> text) {
    const std::size_t n = std::min(text.size(), kXuPacketSize - first);
    std::copy_n(text.begin(), n, packet.Bytes().begin() + static_cast<std::ptrdiff_t>(first));
  };
  XuPacket packet;
  if (const auto* efs = std::get_if<Efs>(&form)) {
    packet.SetByte(kFormOffset, kEfsForm);
    packet.SetU32(kMarkerOffset, efs->e);
    packet.SetU16(kEfsFOffset, efs->f);
    packet.SetU16(kEfsSOffset, efs->s);
  } else if (const auto* coded = std::get_if<CodedText>(&form)) {
    packet.SetByte(kMarkerOffset, kDeviceMessageCoded);
    packet.SetU32(kCodeOffset, coded->code);
    put_text(packet, kCodedTextOffset, coded->text);
  } else if (const auto* plain = std::get_if<PlainText>(&form)) {
    packet.SetByte(kMarkerOffset, kDeviceMessageText);
    put_text(packet, kPlainTextOffset, plain->text);
  }
  return packet;
}

}  // namespace hx
