#include "model/dsp_responder.h"

#include "protocol/opcodes.h"

namespace hx::emu {
namespace {

// The record starts at packet byte 4; these are packet offsets.
constexpr std::size_t kRecordType = 4;
constexpr std::size_t kGroupId = 6;
constexpr std::size_t kRecordByte3 = 7;
constexpr std::size_t kGcr = 8;
constexpr std::size_t kIctrlFirst = 9;
constexpr std::size_t kLvcsCheck = 15;
constexpr std::size_t kLowMag = 16;
constexpr std::size_t kHighMag = 18;
constexpr std::size_t kChecksumFirst = 6;
constexpr std::size_t kChecksumLast = 19;
constexpr std::size_t kChecksum = 21;
// A record type the DSP also reports, which the DAA read must pass over.
constexpr std::uint8_t kOtherRecordType = 3;

XuPacket DspReplyHeader() {
  XuPacket reply;
  reply.SetLength(18);
  reply.SetOpcode(XU_OPCODE_VDSP_RESPONSE);
  reply.SetArg0(1);
  return reply;
}

}  // namespace

XuPacket BuildDaaReply(const DaaValues& values) {
  XuPacket reply = DspReplyHeader();
  reply.SetByte(kRecordType, kDaaRecordType);
  reply.SetByte(kGroupId, values.group_id);
  reply.SetByte(kRecordByte3, values.record_byte3);
  reply.SetByte(kGcr, values.gcr);
  const std::uint8_t ictrl[] = {values.ictrl1_voice, values.ictrl2_voice, values.ictrl3_voice,
                                values.ictrl1_dtmf,  values.ictrl2_dtmf,  values.ictrl3_dtmf};
  for (std::size_t i = 0; i < std::size(ictrl); ++i) {
    reply.SetByte(kIctrlFirst + i, ictrl[i]);
  }
  reply.SetByte(kLvcsCheck, values.lvcs_check);
  reply.SetU16(kLowMag, values.low_mag);
  reply.SetU16(kHighMag, values.high_mag);
  std::uint8_t sum = 0;
  for (std::size_t i = kChecksumFirst; i <= kChecksumLast; ++i) {
    sum = static_cast<std::uint8_t>(sum + reply.Byte(i));
  }
  reply.SetByte(kChecksum, sum);
  return reply;
}

void DspResponder::Answer(const XuPacket& request, std::vector<XuPacket>& replies) {
  if (request.DspRequest() != kDspReadDaa) {
    return;
  }
  for (std::uint32_t i = 0; i < faults_.daa_other_records; ++i) {
    XuPacket other = DspReplyHeader();
    other.SetByte(kRecordType, kOtherRecordType);
    replies.push_back(other);
  }
  XuPacket reply = BuildDaaReply(values_);
  if (faults_.daa_bad_checksum) {
    reply.SetByte(kChecksum, static_cast<std::uint8_t>(reply.Byte(kChecksum) + 1));
  }
  replies.push_back(reply);
}

}  // namespace hx::emu
