#pragma once
// The DSP exchange on opcode 15: a request with code 1 is answered with the DAA settings.

#include "model/firmware_options.h"
#include "model/responder.h"
#include "protocol/daa_settings.h"

namespace hx::emu {

/// The DSP's reply carrying values as a DAA settings record with its checksum.
XuPacket BuildDaaReply(const DaaValues& values);

class DspResponder final : public Responder {
 public:
  DspResponder(const DaaValues& values, const FaultPlan& faults)
      : values_(values), faults_(faults) {}
  void Answer(const XuPacket& request, std::vector<XuPacket>& replies) override;

 private:
  const DaaValues& values_;
  const FaultPlan& faults_;
};

}  // namespace hx::emu
