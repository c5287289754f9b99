#include "model/dsp_responder.h"

#include "protocol/opcodes.h"

namespace hx::emu {
namespace {

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
  const DaaSettings settings{
      .record_type = kDaaRecordType,
      .group_id = values.group_id,
      .record_byte3 = values.record_byte3,
      .gcr = values.gcr,
      .ictrl1_voice = values.ictrl1_voice,
      .ictrl2_voice = values.ictrl2_voice,
      .ictrl3_voice = values.ictrl3_voice,
      .ictrl1_dtmf = values.ictrl1_dtmf,
      .ictrl2_dtmf = values.ictrl2_dtmf,
      .ictrl3_dtmf = values.ictrl3_dtmf,
      .lvcs_check = values.lvcs_check,
      .low_mag = values.low_mag,
      .high_mag = values.high_mag,
      .checksum = 0,
      .computed_checksum = 0,
  };
  settings.WriteTo(reply);
  return reply;
}

void DspResponder::Answer(const XuPacket& request, std::vector<XuPacket>& replies) {
  if (request.DspRequest() != kDaaReadRequest) {
    return;
  }
  for (std::uint32_t i = 0; i < faults_.daa_other_records; ++i) {
    XuPacket other = DspReplyHeader();
    other.SetByte(DaaSettings::kRecordTypeOffset, kOtherRecordType);
    replies.push_back(other);
  }
  XuPacket reply = BuildDaaReply(values_);
  if (faults_.daa_bad_checksum) {
    constexpr std::size_t kChecksum = DaaSettings::kChecksumOffset;
    reply.SetByte(kChecksum, static_cast<std::uint8_t>(reply.Byte(kChecksum) + 1));
  }
  replies.push_back(reply);
}

}  // namespace hx::emu
