#include "model/clock_commands.h"

#include "model/device_status.h"
#include "protocol/opcodes.h"
#include "protocol/system_config.h"
#include "protocol/zone_index_table.h"

namespace hx::emu {

void ClockCommands::AddTo(SystemConfigResponder& responder) {
  responder.Add(kConfigArg1TimeZone, [this](const XuPacket& request, XuPacket& reply) {
    Set(request, reply);
    faults_.ApplyToConfigReply(reply);
    return true;
  });
}

void ClockCommands::Set(const XuPacket& request, XuPacket& reply) {
  reply.SetConfigCommand(request.ConfigCommand());
  const ClockSetting setting{request.ConfigCommand(), request.ConfigLocalTime(),
                             request.ConfigUtcTime()};
  if (!connection_.IsAuthorised(XU_OPCODE_SYSTEM_CONFIG)) {
    reply.SetStatus(kStatusAccessDenied);
  } else if (!IsNamedZoneIndex(setting.zone_index) || !IsValidClockSetting(setting)) {
    reply.SetStatus(kStatusInvalidArgument);
  } else if (!clock_.Set(setting)) {
    reply.SetStatus(kStatusFailed);
  }
}

}  // namespace hx::emu
