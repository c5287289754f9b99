#include <cwchar>

#include "platform/ansi_code_page.h"
#include "platform/code_page_1252.h"

namespace hx::platform {

std::size_t AnsiBytesNeeded(const wchar_t* text) {
  const std::size_t length = std::wcslen(text);
  for (std::size_t i = 0; i < length; ++i) {
    if (!EncodeCp1252(text[i])) {
      return 0;
    }
  }
  return length + 1;
}

bool EncodeAnsi(const wchar_t* text, std::span<char> dest) {
  std::size_t i = 0;
  for (; text[i] != L'\0'; ++i) {
    const auto byte = EncodeCp1252(text[i]);
    if (!byte || i + 1 >= dest.size()) {
      return false;
    }
    dest[i] = static_cast<char>(*byte);
  }
  if (i >= dest.size()) {
    return false;
  }
  dest[i] = '\0';
  return true;
}

}  // namespace hx::platform
