#pragma once
// Text that the device sends in its packets, made fit to print.

#include <cstdint>
#include <span>
#include <string>

namespace hx {

/// Decodes 8-bit device text (Windows-1252) from a fixed field: up to the first zero byte, or
/// the whole field when it holds none. Control characters (below 0x20, 0x7F, and the C1
/// controls 0x80-0x9F that remain controls after decoding) become '?', so a device cannot move
/// the cursor or send terminal commands through a message.
std::wstring DeviceTextToWide(std::span<const std::uint8_t> bytes);

}  // namespace hx
