#pragma once
// Windows-1252, the 8-bit code page that stands for the system ANSI code page on POSIX, so that
// text typed on either platform reaches the device as the same bytes.

#include <cstdint>
#include <optional>

namespace hx {

/// The code page's byte for ch, or nullopt when the code page has no form for it. The five
/// bytes that the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1
/// controls of the same value, both ways.
std::optional<std::uint8_t> EncodeCp1252(wchar_t ch);

/// The character that byte stands for.
wchar_t DecodeCp1252(std::uint8_t byte);

}  // namespace hx
