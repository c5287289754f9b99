#include "console/wide_to_ansi.h"

#include <cwchar>
#include <new>

#include "console/code_page_1252.h"

namespace hx {
namespace {

// The bytes the text needs with its terminator, or 0 when a character has no form in the
// code page, as the system's size query reports a failed conversion.
std::size_t NeededBytes(const wchar_t* source) {
  const std::size_t length = std::wcslen(source);
  for (std::size_t i = 0; i < length; ++i) {
    if (!EncodeCp1252(source[i])) {
      return 0;
    }
  }
  return length + 1;
}

}  // namespace

std::unique_ptr<char[]> WideToAnsi(const wchar_t* source) {
  if (source == nullptr) {
    return nullptr;
  }
  const std::size_t needed = NeededBytes(source);
  if (needed == 0) {
    return nullptr;
  }
  // Two spare zero bytes behind the terminator, as callers of the original allocation expect.
  std::unique_ptr<char[]> text(new (std::nothrow) char[needed + 2]());
  if (!text) {
    return nullptr;
  }
  for (std::size_t i = 0; i + 1 < needed; ++i) {
    text[i] = static_cast<char>(*EncodeCp1252(source[i]));
  }
  return text;
}

}  // namespace hx
