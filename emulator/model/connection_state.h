#pragma once
// What the firmware remembers about the host that is connected now. It starts afresh with
// every connection; slots and passcode outlive it.

#include <cstdint>
#include <optional>

namespace hx::emu {

struct ConnectionState {
  /// The opcode the last successful passcode validation authorised; none after a refusal.
  std::optional<std::uint8_t> authorised_opcode{};
  /// Arg1 of the previous request on opcode 13: a passcode change must follow a validation.
  std::optional<std::uint8_t> previous_config_command{};
  /// A signature has been uploaded completely, which the boot loader and main image need.
  bool signature_received = false;

  bool IsAuthorised(std::uint8_t opcode) const { return authorised_opcode == opcode; }
};

}  // namespace hx::emu
