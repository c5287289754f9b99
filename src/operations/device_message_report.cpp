#include "operations/device_message_report.h"

#include <array>
#include <string>

#include "console/bounded_text.h"
#include "console/console_io.h"
#include "console/device_text.h"
#include "console/report_error.h"
#include "platform/debug_output.h"
#include "protocol/device_message.h"

namespace hx {
namespace {

constexpr std::size_t kLineCapacity = 1024;

void PrintToConsoleAndDebugger(std::span<wchar_t> line) {
  const std::wstring_view text(line.data());
  platform::WriteDebugLine(text);
  Console().WriteWide(text);
}

}  // namespace

void ReportDeviceMessage(const XuPacket& packet) {
  const XuDeviceMessage::Form form = XuDeviceMessage::Decode(packet);
  std::array<wchar_t, kLineCapacity> line{};
  if (const auto* efs = std::get_if<XuDeviceMessage::Efs>(&form)) {
    FormatBoundedW(line, L"DEVICE - [E:F:S] [0x%08X : 0x%08X : %u] : %ls", efs->e,
                   static_cast<unsigned>(efs->f), static_cast<unsigned>(efs->s),
                   SystemMessageOrNull(static_cast<HRESULT>(efs->e)).c_str());
    PrintToConsoleAndDebugger(line);
  } else if (const auto* coded = std::get_if<XuDeviceMessage::CodedText>(&form)) {
    FormatBoundedW(line, L"DEVICE:%ls (0x%08X) : %ls", DeviceTextToWide(coded->text).c_str(),
                   coded->code, SystemMessageOrNull(static_cast<HRESULT>(coded->code)).c_str());
    PrintToConsoleAndDebugger(line);
  } else if (const auto* plain = std::get_if<XuDeviceMessage::PlainText>(&form)) {
    Console().WriteWide(DeviceTextToWide(plain->text) + L"\r\n");
  }
}

}  // namespace hx
