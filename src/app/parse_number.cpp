#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/option_parsers.h"

namespace hx {
namespace {

constexpr std::size_t kMaxHexDigits = 8;
constexpr std::size_t kMaxDecimalDigits = 9;

/// The value of one digit in the given base, or -1 when the character is not such a digit.
int DigitValue(wchar_t ch, unsigned base) {
  if (ch >= L'0' && ch <= L'9') {
    return ch - L'0';
  }
  if (base == 16 && ch >= L'a' && ch <= L'f') {
    return ch - L'a' + 10;
  }
  if (base == 16 && ch >= L'A' && ch <= L'F') {
    return ch - L'A' + 10;
  }
  return -1;
}

}  // namespace

std::optional<std::int32_t> ParseNumber(const wchar_t* text) {
  if (text == nullptr) {
    return std::nullopt;
  }
  std::wstring_view digits(text);
  unsigned base = 10;
  std::size_t max_digits = kMaxDecimalDigits;
  if (digits.starts_with(L"0x") || digits.starts_with(L"x")) {
    digits.remove_prefix(digits.find(L'x') + 1);
    base = 16;
    max_digits = kMaxHexDigits;
  }
  if (digits.empty() || digits.size() > max_digits) {
    return std::nullopt;
  }
  std::uint32_t value = 0;
  for (wchar_t ch : digits) {
    const int digit = DigitValue(ch, base);
    if (digit < 0) {
      return std::nullopt;
    }
    value = value * base + static_cast<std::uint32_t>(digit);
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace hx
