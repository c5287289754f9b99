#include "server/result_text.h"

#include <cstdio>

#include "platform/byte_output.h"
#include "platform/message_table.h"

namespace hx::emu {

std::string DescribeResult(HRESULT code) {
  std::string text = platform::NarrowWithLocale(platform::LookupMessageText(code).value_or(L""));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) {
    text.pop_back();
  }
  char number[16];
  std::snprintf(number, sizeof number, "0x%08X", static_cast<unsigned>(code));
  return text.empty() ? number : text + " (" + number + ")";
}

}  // namespace hx::emu
