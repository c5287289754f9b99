#pragma once
// Numbers in the emulator's option texts: decimal or 0x-prefixed hexadecimal, whole and in
// range; result codes as 32-bit patterns.

#include <charconv>
#include <cstdint>
#include <limits>
#include <string_view>

namespace hx::emu {

inline bool ParseNumber(std::string_view text, std::uint64_t max, std::uint64_t& value) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    base = 16;
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return !text.empty() && error == std::errc() && end == text.data() + text.size() && value <= max;
}

template <typename T>
bool ParseInto(std::string_view text, T& out) {
  std::uint64_t value = 0;
  if (!ParseNumber(text, std::numeric_limits<T>::max(), value)) {
    return false;
  }
  out = static_cast<T>(value);
  return true;
}

/// Result codes are written as 32-bit patterns, 0x8007001F say.
inline bool ParseResult(std::string_view text, std::int32_t& out) {
  std::uint32_t bits = 0;
  if (!ParseInto(text, bits)) {
    return false;
  }
  out = static_cast<std::int32_t>(bits);
  return true;
}

}  // namespace hx::emu
