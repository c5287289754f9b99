#include "console/wide_to_ansi.h"

#include <new>

#include "platform/ansi_code_page.h"

namespace hx {

std::unique_ptr<char[]> WideToAnsi(const wchar_t* source) {
  if (source == nullptr) {
    return nullptr;
  }
  const std::size_t needed = platform::AnsiBytesNeeded(source);
  if (needed == 0) {
    return nullptr;
  }
  // Two spare zero bytes behind the terminator, as callers of the original allocation expect.
  std::unique_ptr<char[]> text(new (std::nothrow) char[needed + 2]());
  if (!text || !platform::EncodeAnsi(source, std::span<char>(text.get(), needed))) {
    return nullptr;
  }
  return text;
}

}  // namespace hx
