#include "protocol/device_message.h"

#include <algorithm>

#include "protocol/status_packet.h"

namespace hx {
namespace {

std::span<const std::uint8_t> TextField(const XuPacket& packet, std::size_t first) {
  const std::span<const std::uint8_t> field = std::span(packet.Bytes()).subspan(first);
  const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
  return field.first(static_cast<std::size_t>(end - field.begin()));
}

}  // namespace

XuDeviceMessage::Form XuDeviceMessage::Decode(const XuPacket& packet) {
  if (packet.Byte(kFormOffset) == kEfsForm) {
    return Efs{packet.U32(kMarkerOffset), packet.U16(kEfsFOffset), packet.U16(kEfsSOffset)};
  }
  if (packet.Byte(kMarkerOffset) == kDeviceMessageCoded) {
    return CodedText{packet.U32(kCodeOffset), TextField(packet, kCodedTextOffset)};
  }
  if (packet.Byte(kMarkerOffset) == kDeviceMessageText) {
    return PlainText{TextField(packet, kPlainTextOffset)};
  }
  return None{};
}

}  // namespace hx
