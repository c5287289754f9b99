#include "protocol/device_message.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "console/bounded_text.h"
#include "console/console_io.h"
#include "console/device_text.h"
#include "platform/debug_output.h"
#include "platform/message_table.h"
#include "protocol/status_packet.h"

namespace hx {
namespace {

constexpr std::uint8_t kEfsMarker = 4;
constexpr std::size_t kLineCapacity = 1024;

std::span<const std::uint8_t> TextField(const XuPacket& packet, std::size_t first) {
  const std::span<const std::uint8_t> field = std::span(packet.Bytes()).subspan(first);
  const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
  return field.first(static_cast<std::size_t>(end - field.begin()));
}

// A code without a system text shows "(null)", as a failure report does.
std::wstring SystemText(std::uint32_t code) {
  const std::optional<std::wstring> text = platform::LookupMessageText(static_cast<HRESULT>(code));
  return text ? *text : std::wstring(L"(null)");
}

void PrintToConsoleAndDebugger(std::span<wchar_t> line) {
  const std::wstring_view text(line.data());
  platform::WriteDebugLine(text);
  Console().WriteWide(text);
}

}  // namespace

XuDeviceMessage::Form XuDeviceMessage::Decode(const XuPacket& packet) {
  if (packet.Byte(1) == kEfsMarker) {
    return Efs{packet.U32(4), packet.U16(8), packet.U16(10)};
  }
  if (packet.Byte(4) == kDeviceMessageCoded) {
    return CodedText{packet.U32(8), TextField(packet, 12)};
  }
  if (packet.Byte(4) == kDeviceMessageText) {
    return PlainText{TextField(packet, 5)};
  }
  return None{};
}

void ReportDeviceMessage(const XuPacket& packet) {
  const XuDeviceMessage::Form form = XuDeviceMessage::Decode(packet);
  std::array<wchar_t, kLineCapacity> line{};
  if (const auto* efs = std::get_if<XuDeviceMessage::Efs>(&form)) {
    FormatBoundedW(line, L"DEVICE - [E:F:S] [0x%08X : 0x%08X : %u] : %ls", efs->e,
                   static_cast<unsigned>(efs->f), static_cast<unsigned>(efs->s),
                   SystemText(efs->e).c_str());
    PrintToConsoleAndDebugger(line);
  } else if (const auto* coded = std::get_if<XuDeviceMessage::CodedText>(&form)) {
    FormatBoundedW(line, L"DEVICE:%ls (0x%08X) : %ls", DeviceTextToWide(coded->text).c_str(),
                   coded->code, SystemText(coded->code).c_str());
    PrintToConsoleAndDebugger(line);
  } else if (const auto* plain = std::get_if<XuDeviceMessage::PlainText>(&form)) {
    Console().WriteWide(DeviceTextToWide(plain->text) + L"\r\n");
  }
}

}  // namespace hx
