#include <gtest/gtest.h>

#include <string>

#include "operations/handlers.h"
#include "support/daa_reply.h"
#include "support/device_run.h"

namespace hx {
namespace {

using test::DaaReply;

constexpr std::uint8_t kDaaSelector = 16;

const char kSettingsBlock[] =
    "\r\n"
    "********  Current DAA Settings in PDB  ********\r\n"
    "\r\n           Group Id     : 3\r\n"
    "\r\n           GCR          : 200\r\n"
    "\r\n           ICTRL1_VOICE : 0Xa\r\n"
    "\r\n           ICTRL2_VOICE : 0Xb\r\n"
    "\r\n           ICTRL3_VOICE : 0Xc\r\n"
    "\r\n           ICTRL1_DTMF  : 0Xd\r\n"
    "\r\n           ICTRL2_DTMF  : 0Xe\r\n"
    "\r\n           ICTRL3_DTMF  : 0Xf\r\n"
    "\r\n           LVCS Check   : TRUE\r\n"
    "\r\n           Low Mag      : 4660\r\n"
    "\r\n           High Mag     : 65535\r\n"
    "\r\n";

class DaaReadTest : public ::testing::Test {
 protected:
  DaaReadTest() {
    options_.ModeCode = kModeDaa;
    options_.Daa.DaaRequest = 1;
  }
  HRESULT Run() { return run_.Run(HandleDAAReadMode, options_); }

  test::DeviceRun run_;
  test::ScriptedChannel& channel_ = run_.Script();
  test::RecordingConsole& console_ = run_.console;
  ModeOptions options_;
};

TEST_F(DaaReadTest, SendsTheDspRequestAndPrintsTheSettingsBlock) {
  channel_.ExpectSet(kDaaSelector)
      .ExpectStatus({15})
      .ExpectGet(kDaaSelector, DaaReply(3, 200, 0x0A, 2, 0x1234, 0xFFFF));
  EXPECT_EQ(Run(), S_OK);
  EXPECT_EQ(console_.Output(), kSettingsBlock);
  XuPacket expected;
  expected.SetLength(1);
  expected.SetOpcode(15);
  expected.SetArg0(1);
  expected.SetByte(4, 1);
  ASSERT_EQ(channel_.SetPackets(kDaaSelector).size(), 1u);
  EXPECT_EQ(channel_.SetPackets(kDaaSelector)[0], expected);
  EXPECT_TRUE(channel_.ScriptDone());
}

TEST_F(DaaReadTest, ChecksumIsTakenModulo256AndCoversTheUnprintedByte) {
  XuPacket reply = DaaReply(0xFF, 0xFF, 0, 0, 0, 0);  // bytes 2..15 sum to 0x1FE + ictrl
  EXPECT_TRUE(DaaSettings::FromReply(reply).ChecksumMatches());
  reply.SetByte(5, 0x77);   // record byte 1: outside the checksum
  reply.SetByte(20, 0x77);  // record byte 16: outside the checksum
  EXPECT_TRUE(DaaSettings::FromReply(reply).ChecksumMatches());
  reply.SetByte(7, 1);  // record byte 3: never printed, but summed
  EXPECT_FALSE(DaaSettings::FromReply(reply).ChecksumMatches());
}

TEST_F(DaaReadTest, ChecksumMismatchPrintsOnlyTheCheckLineAndFailsTheRun) {
  XuPacket reply = DaaReply(3, 200, 0x0A, 2, 0x1234, 0xFFFF);
  reply.SetByte(21, static_cast<std::uint8_t>(reply.Byte(21) + 1));
  channel_.ExpectSet(kDaaSelector).ExpectStatus({15}).ExpectGet(kDaaSelector, reply);
  EXPECT_EQ(Run(), static_cast<HRESULT>(0x80070017));
  EXPECT_EQ(console_.Output(), "Checksum failed..check the USB cable connection.\r\n");
}

TEST_F(DaaReadTest, ReadsOnlyOpcode15EntriesAndPassesOverOtherRecordTypes) {
  XuPacket other_record = DaaReply(1, 1, 1, 1, 1, 1);
  other_record.SetByte(4, 7);
  channel_.ExpectSet(kDaaSelector)
      .ExpectStatus({4, 15, 13}, /*interrupts=*/1)  // entries 4 and 13 are never read
      .ExpectGet(kDaaSelector, other_record)
      .ExpectStatus({15, 15})
      .ExpectGet(kDaaSelector, other_record)
      .ExpectGet(kDaaSelector, DaaReply(3, 200, 0x0A, 2, 0x1234, 0xFFFF));
  EXPECT_EQ(Run(), S_OK);
  EXPECT_EQ(console_.Output(), kSettingsBlock);
  EXPECT_TRUE(channel_.ScriptDone());
}

TEST_F(DaaReadTest, FailedReplyReadIsReportedAndLeavesTheRestOfTheListUnread) {
  channel_.ExpectSet(kDaaSelector)
      .ExpectStatus({15, 15})
      .ExpectGet(kDaaSelector, XuPacket{}, kHrDeviceNotConnected, /*interrupts=*/1)
      .ExpectStatus({15})
      .ExpectGet(kDaaSelector, DaaReply(3, 200, 0x0A, 2, 0x1234, 0xFFFF));
  EXPECT_EQ(Run(), S_OK);
  EXPECT_EQ(console_.Output(),
            std::string("(0x8007048F) : The device is not connected.\r\n") + kSettingsBlock);
}

TEST_F(DaaReadTest, DeviceMessageInTheStatusPacketEndsTheReadWithSuccess) {
  XuPacket message;
  message.SetByte(4, 0xFF);
  const std::string text = "line busy";
  std::copy(text.begin(), text.end(), message.Bytes().begin() + 5);
  channel_.ExpectSet(kDaaSelector).ExpectGet(1, message);
  EXPECT_EQ(Run(), S_OK);
  EXPECT_EQ(console_.Output(), "line busy\r\n");
  EXPECT_TRUE(channel_.ScriptDone());
}

TEST_F(DaaReadTest, FailuresOfTheRequestAndStatusReadAreReportedAndReturned) {
  channel_.ExpectSet(kDaaSelector, kHrDeviceNotConnected);
  EXPECT_EQ(Run(), kHrDeviceNotConnected);
  channel_.ExpectSet(kDaaSelector).ExpectGet(1, XuPacket{}, kHrDeviceNotConnected);
  EXPECT_EQ(Run(), kHrDeviceNotConnected);
  EXPECT_EQ(console_.Output(),
            "(0x8007048F) : The device is not connected.\r\n"
            "(0x8007048F) : The device is not connected.\r\n");
}

TEST_F(DaaReadTest, GivesUpAfterTenPollsWithoutAReply) {
  channel_.ExpectSet(kDaaSelector);
  for (int poll = 0; poll < 10; ++poll) {
    channel_.ExpectStatus({}, /*interrupts=*/1);
  }
  EXPECT_EQ(Run(), static_cast<HRESULT>(0x800705B4));
  EXPECT_TRUE(channel_.ScriptDone());
  EXPECT_EQ(console_.Output().rfind("(0x800705B4) : ", 0), 0u);
}

TEST_F(DaaReadTest, WithoutTheReadFlagNothingIsSent) {
  options_.Daa.DaaRequest = 0xFF;
  EXPECT_EQ(Run(), E_INVALIDARG);
  EXPECT_TRUE(channel_.Log().empty());
}

}  // namespace
}  // namespace hx
