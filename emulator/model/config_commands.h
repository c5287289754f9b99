#pragma once
// The configuration commands of the system configuration exchange (Arg1 1), for a host
// authorised for opcode 13: the reboots, which drop the link instead of answering; the result
// of parsing the stored configuration file; the upload of a stored file to the log server.
// Commands the device does not carry out are answered "not supported".

#include <functional>

#include "model/config_check.h"
#include "model/config_faults.h"
#include "model/connection_state.h"
#include "model/log_server.h"
#include "model/slot_store.h"
#include "model/system_config_responder.h"

namespace hx::emu {

class ConfigCommands {
 public:
  /// reboot is called, with the model's lock held, when the device is to reset.
  ConfigCommands(const SlotStore& slots, ConfigCheck& config_check, LogServer& log_server,
                 ConnectionState& connection, const ConfigReplyFaults& faults,
                 std::function<void()> reboot)
      : slots_(slots),
        config_check_(config_check),
        log_server_(log_server),
        connection_(connection),
        faults_(faults),
        reboot_(std::move(reboot)) {}

  /// Adds the commands to responder; this object must outlive it.
  void AddTo(SystemConfigResponder& responder);
  /// Carries out one command; false when it goes unanswered (a reboot).
  bool Run(const XuPacket& request, XuPacket& reply);

 private:
  void ParseResult(XuPacket& reply);
  void UploadByName(const XuPacket& request, XuPacket& reply);

  const SlotStore& slots_;
  ConfigCheck& config_check_;
  LogServer& log_server_;
  ConnectionState& connection_;
  const ConfigReplyFaults& faults_;
  std::function<void()> reboot_;
};

}  // namespace hx::emu
