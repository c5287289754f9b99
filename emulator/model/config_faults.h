#pragma once
// Faults in the fields of the replies that the system configuration and diagnostics exchanges
// read: each replaces what the device would have put in that field.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/xu_packet.h"

namespace hx::emu {

struct ConfigReplyFaults {
  std::optional<std::int32_t> status{};             ///< Status of a time or configuration reply
  std::optional<std::uint8_t> arg1{};               ///< Arg1 of a time or configuration reply
  std::optional<std::int32_t> command{};            ///< ConfigCommand echoed by those replies
  std::optional<std::int32_t> validation_result{};  ///< ValidationResult of a parse result
  std::optional<std::int32_t> upload_status{};      ///< UploadStatus of the CELOG reply
  bool diag_server_reply = false;  ///< the CELOG request is answered on opcode 10 instead

  /// Puts the faults of a time or configuration reply into reply.
  void ApplyToConfigReply(XuPacket& reply) const;
};

/// Applies one "NAME[=VALUE]" of the faults above; false when the name is not one of them or
/// its value is refused.
bool ApplyConfigFaultText(std::string_view name, std::optional<std::string_view> value,
                          ConfigReplyFaults& faults);

/// One line (or two) per fault name, for --help.
std::string_view ConfigFaultHelpText();

}  // namespace hx::emu
