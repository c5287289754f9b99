#pragma once
// The DAA read for tests: the request the utility writes, the replies the DSP sends, and what
// the utility prints for the virtual HX7300's default settings.

#include <cstdint>

#include "protocol/daa_settings.h"
#include "protocol/opcodes.h"
#include "protocol/xu_packet.h"

namespace hx::test {

/// The request that "-m:daa -r" writes.
inline XuPacket DaaRequest() {
  XuPacket request;
  request.SetLength(1);
  request.SetOpcode(XU_OPCODE_VDSP_RESPONSE);
  request.SetArg0(1);
  request.SetDspRequest(1);
  return request;
}

/// What "-m:daa -r" prints for the virtual HX7300's default settings.
inline constexpr char kDefaultDaaSettingsText[] =
    "\r\n"
    "********  Current DAA Settings in PDB  ********\r\n"
    "\r\n           Group Id     : 1\r\n"
    "\r\n           GCR          : 2\r\n"
    "\r\n           ICTRL1_VOICE : 0Xa\r\n"
    "\r\n           ICTRL2_VOICE : 0X3c\r\n"
    "\r\n           ICTRL3_VOICE : 0X1\r\n"
    "\r\n           ICTRL1_DTMF  : 0Xb\r\n"
    "\r\n           ICTRL2_DTMF  : 0X2c\r\n"
    "\r\n           ICTRL3_DTMF  : 0X2\r\n"
    "\r\n           LVCS Check   : TRUE\r\n"
    "\r\n           Low Mag      : 300\r\n"
    "\r\n           High Mag     : 3400\r\n"
    "\r\n";

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
