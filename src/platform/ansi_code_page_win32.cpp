#include <windows.h>

#include <climits>

#include "platform/ansi_code_page.h"

namespace hx::platform {
namespace {

// Without these flags the conversion would put best-fit look-alikes or '?' in place of a
// character the code page lacks, and a passcode or file name would reach the device as other
// text than the operator typed.
constexpr DWORD kExactOnly = WC_NO_BEST_FIT_CHARS;

int Convert(const wchar_t* text, char* dest, int capacity) {
  BOOL used_default = FALSE;
  const int bytes =
      ::WideCharToMultiByte(CP_ACP, kExactOnly, text, -1, dest, capacity, nullptr, &used_default);
  return used_default ? 0 : bytes;
}

}  // namespace

std::size_t AnsiBytesNeeded(const wchar_t* text) {
  const int bytes = Convert(text, nullptr, 0);
  return bytes > 0 ? static_cast<std::size_t>(bytes) : 0;
}

bool EncodeAnsi(const wchar_t* text, std::span<char> dest) {
  const int capacity = dest.size() > INT_MAX ? INT_MAX : static_cast<int>(dest.size());
  return capacity > 0 && Convert(text, dest.data(), capacity) > 0;
}

}  // namespace hx::platform
