#include "platform/code_page_1252.h"

#include <array>
#include <type_traits>

namespace hx {
namespace {

// Bytes 0x80-0x9F; every other byte is the character of the same value.
constexpr std::array<wchar_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr std::uint8_t kFirstHigh = 0x80;

bool IsInHighRange(std::uint32_t value) {
  return value >= kFirstHigh && value < kFirstHigh + kHighControls.size();
}

}  // namespace

std::optional<std::uint8_t> EncodeCp1252(wchar_t ch) {
  const auto value = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(ch));
  if (value <= 0xFF && !IsInHighRange(value)) {
    return static_cast<std::uint8_t>(value);
  }
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == ch) {
      return static_cast<std::uint8_t>(kFirstHigh + i);
    }
  }
  return std::nullopt;
}

wchar_t DecodeCp1252(std::uint8_t byte) {
  if (IsInHighRange(byte)) {
    return kHighControls[byte - kFirstHigh];
  }
  return static_cast<wchar_t>(byte);
}

}  // namespace hx
