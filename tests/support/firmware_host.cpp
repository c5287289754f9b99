#include "support/firmware_host.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "protocol/image_slots.h"
#include "protocol/opcodes.h"
#include "support/device_pieces.h"

namespace hx::test {
namespace {

XuPacket InfoPacket(std::uint8_t index, std::uint32_t size) {
  XuPacket info;
  info.SetLength(kXuPacketSize);
  info.SetOpcode(XU_OPCODE_IMGUPD_INFO);
  info.SetArg0(1);
  info.SetInfoImageIndex(index);
  info.SetImageSize(size);
  return info;
}

XuPacket FlushPacket(std::uint8_t index) {
  XuPacket flush;
  flush.SetOpcode(XU_OPCODE_IMGUPD_ECHO);
  flush.SetArg0(1);
  flush.SetBlockMarker(BLOCK_MARKER_FLUSH);
  flush.SetCommitImageIndex(index);
  flush.SetBlockNumber(kFlushBlockNumber);
  return flush;
}

}  // namespace

XuPacket PasscodeRequest(std::uint8_t arg1, std::string_view text, std::uint8_t opcode) {
  XuPacket request;
  request.SetLength(static_cast<std::uint8_t>(text.size()));
  request.SetOpcode(XU_OPCODE_SYSTEM_CONFIG);
  request.SetArg1(arg1);
  request.SetConfigCommand(opcode);
  if (!text.empty()) {
    SetFieldText(request.PasscodeText(), text);
  }
  return request;
}

XuPacket NetUpdateStep(std::uint16_t step, std::string_view text, std::uint16_t port) {
  XuPacket request;
  request.SetLength(48);
  request.SetOpcode(XU_OPCODE_IMGUPD_NET_INFO);
  request.SetArg0(1);
  request.SetStep(step);
  request.SetPort(port);
  SetFieldText(request.NetText(), text);
  return request;
}

std::vector<XuPacket> UploadPackets(std::uint8_t index, std::span<const std::uint8_t> bytes) {
  std::vector<XuPacket> packets{InfoPacket(index, static_cast<std::uint32_t>(bytes.size()))};
  // One buffer for all, as the utility's: a short packet keeps the previous packet's tail and
  // a commit is built over the block's last data packet.
  XuPacket buffer;
  std::size_t sent = 0;
  for (std::uint16_t block = 0; sent < bytes.size(); ++block) {
    const bool last_block = bytes.size() - sent <= kBlockSize;
    buffer.SetOpcode(XU_OPCODE_IMGUPD_DATA);
    buffer.SetArg0(0);
    for (std::uint8_t sequence = 0; sequence < kPacketsPerBlock && sent < bytes.size();
         ++sequence) {
      const std::size_t n = std::min<std::size_t>(kDataPerPacket, bytes.size() - sent);
      buffer.SetLength(static_cast<std::uint8_t>(n));
      buffer.SetArg1(sequence);
      buffer.SetArg0(sent + n == bytes.size() ? 1 : 0);
      std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(sent), n, buffer.Payload().begin());
      sent += n;
      packets.push_back(buffer);
    }
    buffer.SetOpcode(XU_OPCODE_IMGUPD_ECHO);
    buffer.SetArg0(last_block ? 1 : 0);
    buffer.SetBlockMarker(last_block ? BLOCK_MARKER_LAST : 0);
    buffer.SetCommitImageIndex(index);
    buffer.SetBlockNumber(block);
    packets.push_back(buffer);
  }
  packets.push_back(FlushPacket(index));
  return packets;
}

FirmwareHost::FirmwareHost(emu::FirmwareOptions options)
    : model(std::move(options), EmulatorPieces()) {
  model.SetInterruptSink([this] { ++interrupts; });
}

HRESULT FirmwareHost::Write(const XuPacket& packet) {
  return model.HandleSet(SelectorFor(packet.Opcode()), packet.Bytes());
}

std::vector<XuPacket> FirmwareHost::TakeReplies() {
  XuPacket status;
  EXPECT_EQ(model.HandleGet(kStatusSelector, status.Bytes()), S_OK);
  std::vector<XuPacket> replies;
  const std::size_t listed = std::min<std::size_t>(status.Length(), kXuPayloadSize);
  for (std::size_t i = 0; i < listed; ++i) {
    XuPacket reply;
    EXPECT_EQ(model.HandleGet(SelectorFor(status.Payload()[i]), reply.Bytes()), S_OK);
    replies.push_back(reply);
  }
  return replies;
}

std::vector<XuPacket> FirmwareHost::Run(std::span<const XuPacket> packets) {
  std::vector<XuPacket> replies;
  for (const XuPacket& packet : packets) {
    EXPECT_EQ(Write(packet), S_OK);
    const auto taken = TakeReplies();
    replies.insert(replies.end(), taken.begin(), taken.end());
  }
  return replies;
}

std::int32_t FirmwareHost::Validate(std::string_view passcode, std::uint8_t opcode) {
  EXPECT_EQ(Write(PasscodeRequest(2, passcode, opcode)), S_OK);
  const auto replies = TakeReplies();
  EXPECT_EQ(replies.size(), 1u);
  return replies.empty() ? 0 : replies.back().Status();
}

std::vector<XuPacket> FirmwareHost::Upload(std::uint8_t index,
                                           std::span<const std::uint8_t> bytes) {
  EXPECT_EQ(Validate("1234", XU_OPCODE_IMGUPD_INFO), 0);
  return Run(UploadPackets(index, bytes));
}

}  // namespace hx::test
