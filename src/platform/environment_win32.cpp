#include <windows.h>

#include "platform/environment.h"
#include "platform/locale_text.h"

namespace hx::platform {

std::optional<std::wstring> EnvironmentText(const char* name) {
  const std::wstring wide_name = WidenLocaleText(name);
  const DWORD needed = ::GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (needed == 0) {
    return std::nullopt;
  }
  std::wstring value(needed, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(wide_name.c_str(), value.data(), needed);
  if (length == 0 || length >= needed) {
    // Empty, or changed between the two calls.
    return std::wstring();
  }
  value.resize(length);
  return value;
}

}  // namespace hx::platform
