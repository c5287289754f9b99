#include "model/passcode_commands.h"

#include <optional>
#include <span>

#include "model/device_status.h"
#include "protocol/opcodes.h"
#include "protocol/passcode_text.h"

namespace hx::emu {
namespace {

// The passcode's text takes Length bytes of its field, which also holds the terminator.
std::optional<std::span<const std::uint8_t>> PasscodeOf(const XuPacket& request) {
  if (request.Length() > kMaxPasscodeLength) {
    return std::nullopt;
  }
  return request.PasscodeText().first(request.Length());
}

bool IsAuthorisable(std::int32_t opcode) {
  return opcode == XU_OPCODE_IMGUPD_NET_INFO || opcode == XU_OPCODE_IMGUPD_INFO ||
         opcode == XU_OPCODE_SYSTEM_CONFIG;
}

}  // namespace

void PasscodeCommands::AddTo(SystemConfigResponder& responder) {
  responder.Add(kConfigArg1ValidatePasscode, [this](const XuPacket& request, XuPacket& reply) {
    Validate(request, reply);
    return true;
  });
  responder.Add(kConfigArg1ChangePasscode, [this](const XuPacket& request, XuPacket& reply) {
    Change(request, reply);
    return true;
  });
}

void PasscodeCommands::Validate(const XuPacket& request, XuPacket& reply) {
  connection_.authorised_opcode.reset();
  const auto text = PasscodeOf(request);
  if (text && !store_.Matches(*text)) {
    reply.SetStatus(kStatusWrongPassword);
    return;
  }
  if (!text || !IsAuthorisable(request.ConfigCommand())) {
    reply.SetStatus(kStatusInvalidArgument);
    return;
  }
  connection_.authorised_opcode = static_cast<std::uint8_t>(request.ConfigCommand());
}

void PasscodeCommands::Change(const XuPacket& request, XuPacket& reply) {
  const bool just_validated = connection_.previous_config_command == kConfigArg1ValidatePasscode &&
                              connection_.IsAuthorised(XU_OPCODE_SYSTEM_CONFIG);
  const auto text = PasscodeOf(request);
  if (!just_validated) {
    reply.SetStatus(kStatusAccessDenied);
  } else if (!text || CheckPasscode(*text) != PasscodeFault::kNone) {
    // Kept, a passcode that no run can type would lock every run out, and refuse the state
    // directory at the device's next start.
    reply.SetStatus(kStatusInvalidArgument);
  } else if (!store_.Replace(*text)) {
    reply.SetStatus(kStatusFailed);
  }
}

}  // namespace hx::emu
