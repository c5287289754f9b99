#pragma once
// DAA settings replies as the DSP sends them, for tests.

#include <cstdint>

#include "protocol/daa_settings.h"
#include "protocol/opcodes.h"
#include "protocol/xu_packet.h"

namespace hx::test {

/// A reply of record type 5 with the given field bytes and a correct checksum.
inline XuPacket DaaReply(std::uint8_t group_id, std::uint8_t gcr, std::uint8_t ictrl_base,
                         std::uint8_t lvcs, std::uint16_t low_mag, std::uint16_t high_mag) {
  XuPacket reply;
  reply.SetOpcode(XU_OPCODE_VDSP_RESPONSE);
  const auto ictrl = [ictrl_base](int i) { return static_cast<std::uint8_t>(ictrl_base + i); };
  const DaaSettings settings{
      .record_type = kDaaRecordType,
      .group_id = group_id,
      .record_byte3 = 0,
      .gcr = gcr,
      .ictrl1_voice = ictrl(0),
      .ictrl2_voice = ictrl(1),
      .ictrl3_voice = ictrl(2),
      .ictrl1_dtmf = ictrl(3),
      .ictrl2_dtmf = ictrl(4),
      .ictrl3_dtmf = ictrl(5),
      .lvcs_check = lvcs,
      .low_mag = low_mag,
      .high_mag = high_mag,
      .checksum = 0,
      .computed_checksum = 0,
  };
  settings.WriteTo(reply);
  return reply;
}

}  // namespace hx::test
