#pragma once
// The DAA settings record that the DSP returns on opcode 15, from packet byte 4 on.

#include <cstdint>

#include "protocol/xu_packet.h"

namespace hx {

inline constexpr std::uint8_t kDaaRecordType = 5;
inline constexpr std::uint8_t kDaaReadRequest = 1;

struct DaaSettings {
  std::uint8_t record_type;
  std::uint8_t group_id;
  std::uint8_t gcr;
  std::uint8_t ictrl1_voice;
  std::uint8_t ictrl2_voice;
  std::uint8_t ictrl3_voice;
  std::uint8_t ictrl1_dtmf;
  std::uint8_t ictrl2_dtmf;
  std::uint8_t ictrl3_dtmf;
  std::uint8_t lvcs_check;
  std::uint16_t low_mag;
  std::uint16_t high_mag;
  std::uint8_t checksum;
  /// The sum of record bytes 2..15 in 8 bits, which the checksum must equal.
  std::uint8_t computed_checksum;

  bool ChecksumMatches() const { return checksum == computed_checksum; }

  static DaaSettings FromReply(const XuPacket& reply);
  /// Record bytes 2..15 are packet bytes 6..19; the checksum is record byte 17.
  static std::uint8_t ChecksumOf(const XuPacket& reply);
};

inline std::uint8_t DaaSettings::ChecksumOf(const XuPacket& reply) {
  std::uint8_t sum = 0;
  for (std::size_t offset = 6; offset <= 19; ++offset) {
    sum = static_cast<std::uint8_t>(sum + reply.Byte(offset));
  }
  return sum;
}

inline DaaSettings DaaSettings::FromReply(const XuPacket& reply) {
  return DaaSettings{
      .record_type = reply.Byte(4),
      .group_id = reply.Byte(6),
      .gcr = reply.Byte(8),
      .ictrl1_voice = reply.Byte(9),
      .ictrl2_voice = reply.Byte(10),
      .ictrl3_voice = reply.Byte(11),
      .ictrl1_dtmf = reply.Byte(12),
      .ictrl2_dtmf = reply.Byte(13),
      .ictrl3_dtmf = reply.Byte(14),
      .lvcs_check = reply.Byte(15),
      .low_mag = reply.U16(16),
      .high_mag = reply.U16(18),
      .checksum = reply.Byte(21),
      .computed_checksum = ChecksumOf(reply),
  };
}

}  // namespace hx
