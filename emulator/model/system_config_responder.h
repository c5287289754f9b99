#pragma once
// The system configuration exchange on opcode 13. Its requests are told apart by Arg1; each
// kind is a command added by the part of the firmware that owns it (the passcode, the clock,
// the configuration). A request whose Arg1 no command takes goes unanswered.

#include <functional>
#include <map>

#include "model/connection_state.h"
#include "model/responder.h"

namespace hx::emu {

class SystemConfigResponder final : public Responder {
 public:
  /// Completes reply for request; reply arrives with Opcode 13, the request's Arg1 and Status 0.
  /// Returns false when the request is to go unanswered.
  using Command = std::function<bool(const XuPacket& request, XuPacket& reply)>;

  explicit SystemConfigResponder(ConnectionState& connection) : connection_(connection) {}

  /// Answers the requests whose Arg1 is arg1 with command.
  void Add(std::uint8_t arg1, Command command);
  void Answer(const XuPacket& request, std::vector<XuPacket>& replies) override;

 private:
  ConnectionState& connection_;
  std::map<std::uint8_t, Command> commands_;
};

}  // namespace hx::emu
