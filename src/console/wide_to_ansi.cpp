// SKELETON-STUB: replaced by the console helpers (ASCII only until then).
#include "console/wide_to_ansi.h"

#include <cwchar>

namespace hx {
std::unique_ptr<char[]> WideToAnsi(const wchar_t* source) {
  const std::size_t length = std::wcslen(source);
  auto text = std::make_unique<char[]>(length + 3);
  for (std::size_t i = 0; i < length; ++i) {
    if (source[i] >= 0x80) return nullptr;
    text[i] = static_cast<char>(source[i]);
  }
  return text;
}
}  // namespace hx
