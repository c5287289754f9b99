// Windows hands the program its arguments and takes file names as wide text, so these
// conversions are needed only where bytes meet wide text: in the system ANSI code page, with no
// escapes (every byte decodes to something there).
#include <windows.h>

#include <climits>

#include "platform/locale_text.h"

namespace hx::platform {

std::optional<std::size_t> WidenLocaleTextInto(std::string_view bytes, std::span<wchar_t> out) {
  if (bytes.empty()) {
    return 0;
  }
  if (bytes.size() > INT_MAX || out.size() > INT_MAX) {
    return std::nullopt;
  }
  const int written = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                            out.data(), static_cast<int>(out.size()));
  if (written <= 0) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(written);
}

std::wstring WidenLocaleText(std::string_view bytes) {
  // Never more characters than bytes.
  std::wstring wide(bytes.size(), L'\0');
  wide.resize(WidenLocaleTextInto(bytes, wide).value_or(0));
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
