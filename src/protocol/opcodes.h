#pragma once
// Opcodes of the extension unit. The packets of opcode n travel on control selector n + 1.

#include <cstdint>

namespace hx {

inline constexpr std::uint8_t XU_OPCODE_STATUS_INTERRUPT = 0;
inline constexpr std::uint8_t XU_OPCODE_IMGUPD_NET_INFO = 4;
inline constexpr std::uint8_t XU_OPCODE_IMGUPD_INFO = 5;
inline constexpr std::uint8_t XU_OPCODE_IMGUPD_DATA = 6;
inline constexpr std::uint8_t XU_OPCODE_IMGUPD_ECHO = 7;
inline constexpr std::uint8_t XU_OPCODE_DIAG_SERVER_CONFIG = 10;
inline constexpr std::uint8_t XU_OPCODE_DIAG_UPLOAD_CELOG = 12;
inline constexpr std::uint8_t XU_OPCODE_SYSTEM_CONFIG = 13;
inline constexpr std::uint8_t XU_OPCODE_VDSP_RESPONSE = 15;

/// The control selector of an opcode, computed in 8 bits (opcode 255 gives selector 0).
constexpr std::uint8_t SelectorFor(std::uint8_t opcode) {
  return static_cast<std::uint8_t>(opcode + 1);
}

/// Selector 1 carries the status packet.
inline constexpr std::uint8_t kStatusSelector = SelectorFor(XU_OPCODE_STATUS_INTERRUPT);

}  // namespace hx
