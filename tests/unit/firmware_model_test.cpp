#include "model/firmware_model.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/dsp_responder.h"
#include "protocol/opcodes.h"
#include "support/daa_reply.h"

namespace hx::emu {
namespace {

constexpr std::uint8_t kDspSelector = SelectorFor(XU_OPCODE_VDSP_RESPONSE);

using test::DaaRequest;

// A model with its interrupts counted.
struct CountedModel {
  explicit CountedModel(FirmwareOptions options = {}) : model(std::move(options)) {
    model.SetInterruptSink([this] { ++interrupts; });
  }
  XuPacket Get(std::uint8_t selector) {
    XuPacket packet;
    packet.Bytes()[0] = 0xEE;  // proves the read overwrote the buffer
    EXPECT_EQ(model.HandleGet(selector, packet.Bytes()), S_OK);
    return packet;
  }
  std::vector<std::uint8_t> StatusList() {
    const XuPacket status = Get(kStatusSelector);
    return {status.Bytes().begin() + 4, status.Bytes().begin() + 4 + status.Byte(0)};
  }
  FirmwareModel model;
  int interrupts = 0;
};

TEST(FirmwareModel, DaaRequestIsAnsweredWithTheSettingsRecordAndItsChecksum) {
  FirmwareOptions options;
  options.daa = {.group_id = 3,
                 .record_byte3 = 0x80,
                 .gcr = 200,
                 .ictrl1_voice = 0x0A,
                 .ictrl2_voice = 0xFF,
                 .ictrl3_voice = 0x01,
                 .ictrl1_dtmf = 0x02,
                 .ictrl2_dtmf = 0x03,
                 .ictrl3_dtmf = 0x04,
                 .lvcs_check = 2,
                 .low_mag = 0x1234,
                 .high_mag = 0xABCD};
  CountedModel device(options);
  ASSERT_EQ(device.model.HandleSet(kDspSelector, DaaRequest().Bytes()), S_OK);
  EXPECT_EQ(device.interrupts, 1);
  EXPECT_EQ(device.StatusList(), std::vector<std::uint8_t>{15});

  const XuPacket reply = device.Get(kDspSelector);
  const std::vector<std::uint8_t> record(reply.Bytes().begin() + 4, reply.Bytes().begin() + 22);
  // 3+128+200+10+255+1+2+3+4+2+52+18+205+171 = 1054 = 0x41E, taken modulo 256: 0x1E
  const std::vector<std::uint8_t> expected = {5,    0,    3, 0x80, 200,  0x0A, 0xFF, 0x01, 0x02,
                                              0x03, 0x04, 2, 0x34, 0x12, 0xCD, 0xAB, 0,    0x1E};
  EXPECT_EQ(record, expected);
  EXPECT_EQ(reply.Opcode(), XU_OPCODE_VDSP_RESPONSE);
  // The reply was taken: nothing waits any more.
  EXPECT_TRUE(device.StatusList().empty());
  EXPECT_EQ(device.Get(kDspSelector), XuPacket());
}

TEST(FirmwareModel, OtherDspRequestsAndUnknownOpcodesGoUnanswered) {
  CountedModel device(FirmwareOptions{.record_transfers = true});
  XuPacket other = DaaRequest();
  other.SetDspRequest(2);
  EXPECT_EQ(device.model.HandleSet(kDspSelector, other.Bytes()), S_OK);
  EXPECT_EQ(device.model.HandleSet(SelectorFor(9), DaaRequest().Bytes()), S_OK);
  EXPECT_EQ(device.interrupts, 0);
  EXPECT_TRUE(device.StatusList().empty());
  ASSERT_EQ(device.model.ReceivedSets().size(), 2u);
  EXPECT_EQ(device.model.ReceivedSets()[1].selector, SelectorFor(9));
}

TEST(FirmwareModel, ExtraRepliesAndOtherRecordsQueueBeforeTheRealReplyInOrder) {
  FirmwareOptions options;
  options.faults.extra_replies = {4, 13};
  options.faults.daa_other_records = 2;
  CountedModel device(options);
  ASSERT_EQ(device.model.HandleSet(kDspSelector, DaaRequest().Bytes()), S_OK);
  EXPECT_EQ(device.interrupts, 5);
  EXPECT_EQ(device.StatusList(), (std::vector<std::uint8_t>{4, 13, 15, 15, 15}));
  EXPECT_EQ(device.Get(SelectorFor(13)).Opcode(), 13);
  EXPECT_EQ(device.StatusList(), (std::vector<std::uint8_t>{4, 15, 15, 15}));
  // The oldest reply of opcode 15 comes first: the other record types, then the settings.
  EXPECT_EQ(device.Get(kDspSelector).Byte(4), 3);
  EXPECT_EQ(device.Get(kDspSelector).Byte(4), 3);
  EXPECT_EQ(device.Get(kDspSelector).Byte(4), kDaaRecordType);
}

TEST(FirmwareModel, ReplyFaultsChangeWhatIsQueued) {
  FirmwareOptions options;
  options.faults.daa_bad_checksum = true;
  CountedModel bad_sum(options);
  bad_sum.model.HandleSet(kDspSelector, DaaRequest().Bytes());
  const XuPacket good = BuildDaaReply(DaaValues{});
  EXPECT_EQ(bad_sum.Get(kDspSelector).Byte(21), static_cast<std::uint8_t>(good.Byte(21) + 1));

  options.faults = {};
  options.faults.failure_status[XU_OPCODE_VDSP_RESPONSE] = static_cast<std::int32_t>(0x80004005u);
  CountedModel failing(options);
  failing.model.HandleSet(kDspSelector, DaaRequest().Bytes());
  EXPECT_EQ(failing.Get(kDspSelector).Status(), static_cast<std::int32_t>(0x80004005u));

  options.faults = {};
  options.faults.no_reply = {XU_OPCODE_VDSP_RESPONSE};
  options.faults.extra_replies = {4};
  CountedModel silent(options);
  silent.model.HandleSet(kDspSelector, DaaRequest().Bytes());
  EXPECT_EQ(silent.interrupts, 0);
  EXPECT_TRUE(silent.StatusList().empty());
}

TEST(FirmwareModel, InterruptFaults) {
  FirmwareOptions options;
  options.faults.no_interrupts = true;
  CountedModel none(options);
  none.model.HandleSet(kDspSelector, DaaRequest().Bytes());
  EXPECT_EQ(none.interrupts, 0);
  EXPECT_EQ(none.StatusList(), std::vector<std::uint8_t>{15});

  options.faults = {};
  options.faults.drop_interrupts = 3;
  options.faults.daa_other_records = 1;
  CountedModel dropping(options);
  dropping.model.HandleSet(kDspSelector, DaaRequest().Bytes());  // 2 raised, 2 dropped
  EXPECT_EQ(dropping.interrupts, 0);
  dropping.model.HandleSet(kDspSelector, DaaRequest().Bytes());  // 1 dropped, 1 raised
  EXPECT_EQ(dropping.interrupts, 1);
  dropping.model.HandleSet(kDspSelector, DaaRequest().Bytes());
  EXPECT_EQ(dropping.interrupts, 3);

  options.faults = {};
  options.faults.duplicate_interrupts = true;
  CountedModel doubling(options);
  doubling.model.HandleSet(kDspSelector, DaaRequest().Bytes());
  EXPECT_EQ(doubling.interrupts, 2);
}

TEST(FirmwareModel, DeviceMessageReplacesOneStatusRead) {
  FirmwareOptions options;
  options.faults.device_message =
      DeviceMessageFault{DeviceMessageFault::Form::kEfs, 0x800700FE, 0x12, 300, ""};
  CountedModel efs(options);
  efs.model.HandleSet(kDspSelector, DaaRequest().Bytes());
  const XuPacket message = efs.Get(kStatusSelector);
  EXPECT_EQ(message.Byte(1), 4);
  EXPECT_EQ(message.U32(4), 0x800700FEu);
  EXPECT_EQ(message.U16(8), 0x12);
  EXPECT_EQ(message.U16(10), 300);
  EXPECT_EQ(efs.StatusList(), std::vector<std::uint8_t>{15});  // once only

  options.faults.device_message =
      DeviceMessageFault{DeviceMessageFault::Form::kCodedText, 0x1F, 0, 0, "hook"};
  const XuPacket coded = CountedModel(options).Get(kStatusSelector);
  EXPECT_EQ(coded.Byte(4), 0xFE);
  EXPECT_EQ(coded.U32(8), 0x1Fu);
  EXPECT_EQ(std::string(coded.Bytes().begin() + 12, coded.Bytes().begin() + 17),
            std::string("hook\0", 5));

  options.faults.device_message =
      DeviceMessageFault{DeviceMessageFault::Form::kPlainText, 0, 0, 0, std::string(60, 'x')};
  const XuPacket plain = CountedModel(options).Get(kStatusSelector);
  EXPECT_EQ(plain.Byte(1), 0);
  EXPECT_EQ(plain.Byte(4), 0xFF);
  EXPECT_EQ(std::string(plain.Bytes().begin() + 5, plain.Bytes().end()), std::string(47, 'x'));
}

TEST(FirmwareModel, TransferFaultsRefuseTheChosenTransfersOnly) {
  FirmwareOptions options;
  const HRESULT stall = static_cast<HRESULT>(0x8007001Fu);
  options.faults.transfer_faults = {{TransferFault::Direction::kSet, kDspSelector, stall, 2},
                                    {TransferFault::Direction::kGet, kStatusSelector, stall, 0}};
  CountedModel device(options);
  EXPECT_EQ(device.model.HandleSet(kDspSelector, DaaRequest().Bytes()), S_OK);
  EXPECT_EQ(device.model.HandleSet(kDspSelector, DaaRequest().Bytes()), stall);
  EXPECT_EQ(device.model.HandleSet(kDspSelector, DaaRequest().Bytes()), S_OK);
  EXPECT_EQ(device.interrupts, 2);  // the refused write reached nothing
  XuPacket status;
  EXPECT_EQ(device.model.HandleGet(kStatusSelector, status.Bytes()), stall);
  EXPECT_EQ(device.model.HandleGet(kStatusSelector, status.Bytes()), stall);
  EXPECT_EQ(device.Get(kDspSelector).Byte(4), kDaaRecordType);
}

TEST(FirmwareModel, PostedRepliesQueueAndRaiseTheirInterruptLikeAnswers) {
  FirmwareOptions options;
  options.faults.duplicate_interrupts = true;
  CountedModel device(options);
  XuPacket progress;
  progress.SetOpcode(XU_OPCODE_IMGUPD_NET_INFO);
  progress.SetByte(8, 3);
  device.model.PostReply(progress);
  EXPECT_EQ(device.interrupts, 2);
  EXPECT_EQ(device.StatusList(), std::vector<std::uint8_t>{4});
  EXPECT_EQ(device.Get(SelectorFor(XU_OPCODE_IMGUPD_NET_INFO)), progress);
}

TEST(FirmwareModel, DisconnectComesOnceAfterTheNthTransfer) {
  FirmwareOptions options;
  options.faults.disconnect_after = 2;
  FirmwareModel model(options);
  XuPacket packet;
  model.HandleGet(kStatusSelector, packet.Bytes());
  EXPECT_FALSE(model.TakeDisconnect());
  model.HandleGet(kStatusSelector, packet.Bytes());
  EXPECT_TRUE(model.TakeDisconnect());
  model.HandleGet(kStatusSelector, packet.Bytes());
  EXPECT_FALSE(model.TakeDisconnect());
}

TEST(FirmwareModel, UnreadRepliesAreBoundedAndGoWithTheirHost) {
  CountedModel device;
  for (int i = 0; i < 48; ++i) {
    ASSERT_EQ(device.model.HandleSet(kDspSelector, DaaRequest().Bytes()), S_OK) << i;
  }
  // As many as one status packet lists; the next request is stalled and changes nothing.
  EXPECT_EQ(device.model.HandleSet(kDspSelector, DaaRequest().Bytes()),
            static_cast<HRESULT>(0x8007001Fu));
  EXPECT_EQ(device.interrupts, 48);
  XuPacket posted;
  posted.SetOpcode(XU_OPCODE_IMGUPD_NET_INFO);
  device.model.PostReply(posted);
  EXPECT_EQ(device.interrupts, 48);
  EXPECT_EQ(device.StatusList(), std::vector<std::uint8_t>(48, XU_OPCODE_VDSP_RESPONSE));
  // A reply taken makes room again.
  device.Get(kDspSelector);
  EXPECT_EQ(device.model.HandleSet(kDspSelector, DaaRequest().Bytes()), S_OK);

  device.model.ConnectionEnded();
  EXPECT_TRUE(device.StatusList().empty());
  EXPECT_EQ(device.Get(kDspSelector), XuPacket());
}

}  // namespace
}  // namespace hx::emu
