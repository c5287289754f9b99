#include <windows.h>

#include "platform/message_table.h"

namespace hx::platform {

std::optional<std::wstring> LookupMessageText(HRESULT code) {
  // The user's default language: neutral language, default sub-language.
  constexpr DWORD kUserDefaultLanguage = 0x0400;
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), kUserDefaultLanguage, reinterpret_cast<LPWSTR>(&text), 0,
      nullptr);
  if (length == 0 || text == nullptr) {
    return std::nullopt;
  }
  std::wstring message(text, length);
  ::LocalFree(text);
  return message;
}

}  // namespace hx::platform
