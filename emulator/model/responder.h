#pragma once
// One exchange of the firmware: the part that answers the requests written to one opcode.
// FirmwareModel routes each request to its responder and queues what it answers.

#include <vector>

#include "protocol/xu_packet.h"

namespace hx::emu {

class Responder {
 public:
  virtual ~Responder() = default;
  /// Answers a request; each packet appended to replies is queued in order and raises one
  /// status interrupt. Called with the model's lock held.
  virtual void Answer(const XuPacket& request, std::vector<XuPacket>& replies) = 0;
};

}  // namespace hx::emu
