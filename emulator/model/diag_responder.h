#pragma once
// The diagnostics exchange on opcode 12: the device uploads its CELOG diagnostic log to its
// log server, flushing the log first when the request asks, and answers that the upload is
// queued. No passcode is needed.

#include "model/config_faults.h"
#include "model/log_server.h"
#include "model/responder.h"

namespace hx::emu {

class DiagResponder final : public Responder {
 public:
  DiagResponder(LogServer& log_server, const ConfigReplyFaults& faults)
      : log_server_(log_server), faults_(faults) {}
  void Answer(const XuPacket& request, std::vector<XuPacket>& replies) override;

 private:
  LogServer& log_server_;
  const ConfigReplyFaults& faults_;
};

}  // namespace hx::emu
