#include "operations/device_message_report.h"

#include <array>
#include <string>

#include "console/bounded_text.h"
#include "console/console_io.h"
#include "console/device_text.h"
#include "console/report_error.h"
#include "console/run_log.h"
#include "console/utf8_text.h"
#include "platform/debug_output.h"
#include "protocol/device_message.h"

namespace hx {
namespace {

constexpr std::size_t kLineCapacity = 1024;

// The message is recorded once, as a device message, whatever line it takes to print it.
void Print(std::wstring_view text, bool to_debugger) {
  Log().DeviceMessage(Utf8Line(text));
  if (to_debugger) {
    platform::WriteDebugLine(text);
  }
  const ScopedRecordedOutput printed;
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
    Print(line.data(), true);
  } else if (const auto* coded = std::get_if<XuDeviceMessage::CodedText>(&form)) {
    FormatBoundedW(line, L"DEVICE:%ls (0x%08X) : %ls", DeviceTextToWide(coded->text).c_str(),
                   coded->code, SystemMessageOrNull(static_cast<HRESULT>(coded->code)).c_str());
    Print(line.data(), true);
  } else if (const auto* plain = std::get_if<XuDeviceMessage::PlainText>(&form)) {
    Print(DeviceTextToWide(plain->text) + L"\r\n", false);
  }
}

}  // namespace hx
