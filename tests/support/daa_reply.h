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
  reply.SetByte(4, kDaaRecordType);
  reply.SetByte(6, group_id);
  reply.SetByte(8, gcr);
  for (std::uint8_t i = 0; i < 6; ++i) {
    reply.SetByte(9 + i, static_cast<std::uint8_t>(ictrl_base + i));
  }
  reply.SetByte(15, lvcs);
  reply.SetU16(16, low_mag);
  reply.SetU16(18, high_mag);
  reply.SetByte(21, DaaSettings::ChecksumOf(reply));
  return reply;
}

}  // namespace hx::test
