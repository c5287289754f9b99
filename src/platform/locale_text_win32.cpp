// Windows hands the program its arguments and takes file names as wide text, so these
// conversions are needed only where bytes meet wide text: in the system ANSI code page, with no
// escapes (every byte decodes to something there).
#include <windows.h>

#include <climits>

#include "platform/locale_text.h"

namespace hx::platform {

std::wstring WidenLocaleText(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > INT_MAX) {
    return {};
  }
  const int length = static_cast<int>(bytes.size());
  const int needed = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(needed > 0 ? needed : 0), L'\0');
  if (needed > 0) {
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, wide.data(), needed);
  }
  return wide;
}

std::optional<std::string> NarrowLocaleText(std::wstring_view text) {
  if (text.empty()) {
    return std::string();
  }
  if (text.size() > INT_MAX / 4) {
    return std::nullopt;
  }
  const int length = static_cast<int>(text.size());
  BOOL used_default = FALSE;
  const int needed = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length,
                                           nullptr, 0, nullptr, &used_default);
  if (needed <= 0 || used_default) {
    return std::nullopt;
  }
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length, bytes.data(), needed,
                        nullptr, nullptr);
  return bytes;
}

}  // namespace hx::platform
