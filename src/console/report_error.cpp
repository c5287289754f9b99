#include "console/report_error.h"

#include <array>

#include "console/bounded_text.h"
#include "console/console_io.h"
#include "console/run_log.h"
#include "console/utf8_text.h"
#include "platform/debug_output.h"
#include "platform/message_table.h"

namespace hx {

std::wstring SystemMessageOrNull(HRESULT code) {
  // An absent text reads as the runtime library prints a null string.
  return platform::LookupMessageText(code).value_or(L"(null)");
}

void ReportError(const char* context, HRESULT code) {
  const std::wstring text = SystemMessageOrNull(code);
  std::array<wchar_t, 1024> line;
  // A cut line is still worth showing; the result of the format is not needed.
  FormatBoundedW(line, L"(0x%08X) : %ls", static_cast<unsigned>(code), text.c_str());
  const std::wstring_view shown(line.data());
  Log().Failure(context, code, Utf8Line(text));
  platform::WriteDebugLine(shown);
  const ScopedRecordedOutput recorded;
  Console().WriteWide(shown);
}

}  // namespace hx
