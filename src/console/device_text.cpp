#include "console/device_text.h"

#include "platform/code_page_1252.h"

namespace hx {
namespace {

bool IsControl(wchar_t ch) {
  return ch < 0x20 || ch == 0x7F || (ch >= 0x80 && ch <= 0x9F);
}

}  // namespace

std::wstring DeviceTextToWide(std::span<const std::uint8_t> bytes) {
  std::wstring text;
  for (std::uint8_t byte : bytes) {
    if (byte == 0) {
      break;
    }
    const wchar_t ch = DecodeCp1252(byte);
    text.push_back(IsControl(ch) ? L'?' : ch);
  }
  return text;
}

}  // namespace hx
