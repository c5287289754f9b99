#pragma once
// The DAA settings record that the DSP returns on opcode 15, from packet byte 4 on.

#include <cstddef>
#include <cstdint>

#include "protocol/xu_packet.h"

namespace hx {

inline constexpr std::uint8_t kDaaRecordType = 5;
inline constexpr std::uint8_t kDaaReadRequest = 1;

struct DaaSettings {
  std::uint8_t record_type;
  std::uint8_t group_id;
  std::uint8_t record_byte3;  ///< never printed, but covered by the checksum
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
  /// Writes the record into a reply, its checksum computed (the device's side).
  void WriteTo(XuPacket& reply) const;
  static std::uint8_t ChecksumOf(const XuPacket& reply);

  // Packet offsets of the record's fields (the record begins at packet byte 4).
  static constexpr std::size_t kRecordTypeOffset = 4;
  static constexpr std::size_t kGroupIdOffset = 6;
  static constexpr std::size_t kRecordByte3Offset = 7;
  static constexpr std::size_t kGcrOffset = 8;
  static constexpr std::size_t kIctrlOffset = 9;  ///< six bytes: voice 1..3, DTMF 1..3
  static constexpr std::size_t kLvcsOffset = 15;
  static constexpr std::size_t kLowMagOffset = 16;
  static constexpr std::size_t kHighMagOffset = 18;
  static constexpr std::size_t kChecksumOffset = 21;
  /// The checksum covers record bytes 2..15.
  static constexpr std::size_t kChecksumFirst = 6;
  static constexpr std::size_t kChecksumLast = 19;
};

inline std::uint8_t DaaSettings::ChecksumOf(const XuPacket& reply) {
  std::uint8_t sum = 0;
  for (std::size_t offset = kChecksumFirst; offset <= kChecksumLast; ++offset) {
    sum = static_cast<std::uint8_t>(sum + reply.Byte(offset));
  }
  return sum;
}

inline DaaSettings DaaSettings::FromReply(const XuPacket& reply) {
  return DaaSettings{
      .record_type = reply.Byte(kRecordTypeOffset),
      .group_id = reply.Byte(kGroupIdOffset),
      .record_byte3 = reply.Byte(kRecordByte3Offset),
      .gcr = reply.Byte(kGcrOffset),
      .ictrl1_voice = reply.Byte(kIctrlOffset),
      .ictrl2_voice = reply.Byte(kIctrlOffset + 1),
      .ictrl3_voice = reply.Byte(kIctrlOffset + 2),
      .ictrl1_dtmf = reply.Byte(kIctrlOffset + 3),
      .ictrl2_dtmf = reply.Byte(kIctrlOffset + 4),
      .ictrl3_dtmf = reply.Byte(kIctrlOffset + 5),
      .lvcs_check = reply.Byte(kLvcsOffset),
      .low_mag = reply.U16(kLowMagOffset),
      .high_mag = reply.U16(kHighMagOffset),
      .checksum = reply.Byte(kChecksumOffset),
      .computed_checksum = ChecksumOf(reply),
  };
}

inline void DaaSettings::WriteTo(XuPacket& reply) const {
  reply.SetByte(kRecordTypeOffset, record_type);
  reply.SetByte(kGroupIdOffset, group_id);
  reply.SetByte(kRecordByte3Offset, record_byte3);
  reply.SetByte(kGcrOffset, gcr);
  const std::uint8_t ictrl[] = {ictrl1_voice, ictrl2_voice, ictrl3_voice,
                                ictrl1_dtmf,  ictrl2_dtmf,  ictrl3_dtmf};
  for (std::size_t i = 0; i < std::size(ictrl); ++i) {
    reply.SetByte(kIctrlOffset + i, ictrl[i]);
  }
  reply.SetByte(kLvcsOffset, lvcs_check);
  reply.SetU16(kLowMagOffset, low_mag);
  reply.SetU16(kHighMagOffset, high_mag);
  reply.SetByte(kChecksumOffset, ChecksumOf(reply));
}

}  // namespace hx
