#include "support/programs.h"

#include <array>

#include "console/bounded_text.h"
#include "platform/byte_output.h"
#include "platform/message_table.h"

namespace hx::test {

std::string HxBinary() {
  return std::string(HX7300_BINARY_DIR) + "/hx7300";
}
std::string EmulatorBinary() {
  return std::string(HX7300_BINARY_DIR) + "/hx7300-emulator";
}

std::string ReportLine(HRESULT code) {
  const auto text = platform::LookupMessageText(code);
  std::array<wchar_t, 1024> line{};
  FormatBoundedW(line, L"(0x%08X) : %ls", static_cast<unsigned>(code),
                 text ? text->c_str() : L"(null)");
  return platform::NarrowWithLocale(line.data());
}

}  // namespace hx::test
