#pragma once
// The time and time zone request of the system configuration exchange (Arg1 0): the device
// takes the zone index and the two times when the host is authorised for opcode 13, the index
// names a zone of the table and the times are valid.

#include "model/config_faults.h"
#include "model/connection_state.h"
#include "model/device_clock.h"
#include "model/system_config_responder.h"

namespace hx::emu {

class ClockCommands {
 public:
  ClockCommands(DeviceClock& clock, ConnectionState& connection, const ConfigReplyFaults& faults)
      : clock_(clock), connection_(connection), faults_(faults) {}

  /// Adds the request to responder; this object must outlive it.
  void AddTo(SystemConfigResponder& responder);
  /// Status 0 and the clock set, or a failure and the clock as it was.
  void Set(const XuPacket& request, XuPacket& reply);

 private:
  DeviceClock& clock_;
  ConnectionState& connection_;
  const ConfigReplyFaults& faults_;
};

}  // namespace hx::emu
