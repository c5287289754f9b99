#pragma once
// The passcode requests of the system configuration exchange: a validation authorises one
// opcode for the rest of the connection; a change, allowed only straight after a validation
// for opcode 13, replaces the passcode.

#include <cstdint>

#include "model/connection_state.h"
#include "model/passcode_store.h"
#include "model/system_config_responder.h"
#include "protocol/system_config.h"

namespace hx::emu {

class PasscodeCommands {
 public:
  PasscodeCommands(PasscodeStore& store, ConnectionState& connection)
      : store_(store), connection_(connection) {}

  /// Adds the validation and the change to responder; this object must outlive it.
  void AddTo(SystemConfigResponder& responder);

  /// Status 0 and the request's ConfigCommand authorised, or a failure and nothing authorised.
  void Validate(const XuPacket& request, XuPacket& reply);
  /// Status 0 and the passcode replaced, or a failure and the passcode kept; a new passcode
  /// that no run can set (CheckPasscode) is refused as an invalid argument.
  void Change(const XuPacket& request, XuPacket& reply);

 private:
  PasscodeStore& store_;
  ConnectionState& connection_;
};

}  // namespace hx::emu
