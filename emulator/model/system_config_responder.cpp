#include "model/system_config_responder.h"

#include "protocol/opcodes.h"

namespace hx::emu {

void SystemConfigResponder::Add(std::uint8_t arg1, Command command) {
  commands_[arg1] = std::move(command);
}

void SystemConfigResponder::Answer(const XuPacket& request, std::vector<XuPacket>& replies) {
  const auto command = commands_.find(request.Arg1());
  if (command != commands_.end()) {
    XuPacket reply;
    reply.SetOpcode(XU_OPCODE_SYSTEM_CONFIG);
    reply.SetArg1(request.Arg1());
    if (command->second(request, reply)) {
      replies.push_back(reply);
    }
  }
  connection_.previous_config_command = request.Arg1();
}

}  // namespace hx::emu
