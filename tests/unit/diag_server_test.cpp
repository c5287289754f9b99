// The diag handler against a scripted device: the CELOG upload request, the replies on
// opcodes 12 and 10 that end its wait, and the failures on the way.

#include <gtest/gtest.h>

#include <string>

#include "operations/handlers.h"
#include "support/command_line.h"
#include "support/programs.h"
#include "support/recording_console.h"
#include "support/scripted_channel.h"

namespace hx {
namespace {

using test::ScriptedChannel;

constexpr std::uint8_t kDiagSelector = 13;

XuPacket DiagReply(std::uint8_t opcode, std::int32_t status, std::int32_t upload_status = 0) {
  XuPacket reply;
  reply.SetOpcode(opcode);
  reply.SetStatus(status);
  reply.SetUploadStatus(upload_status);
  return reply;
}

ModeOptions DiagOptions(std::uint8_t flush = 0) {
  ModeOptions options = test::OptionsForMode(kModeDiag);
  options.Diag.DiagOpcode = 12;
  options.Diag.FlushLog = flush;
  return options;
}

class DiagServerTest : public ::testing::Test {
 protected:
  DiagServerTest() : scoped_(console_), device_(test::MakeScriptedDevice(channel_)) {}

  test::RecordingConsole console_;
  ScopedConsole scoped_;
  ScriptedChannel* channel_ = nullptr;
  std::unique_ptr<CDuzuVideoCaptureDevice> device_;
};

TEST_F(DiagServerTest, RepliesThatEndTheWaitPrintTheirLineOrReportTheDevicesCode) {
  const auto code = [](std::uint32_t bits) { return static_cast<std::int32_t>(bits); };
  const struct {
    XuPacket reply;
    HRESULT result;
    std::string output;
  } rows[] = {
      {DiagReply(12, 0, 0), S_OK, "Upload CELog command has been queued...\r\n"},
      {DiagReply(12, 0, code(0x80070005)), static_cast<HRESULT>(0x80070005),
       test::ReportLine(static_cast<HRESULT>(0x80070005))},
      // With both set, the Status is the one reported.
      {DiagReply(12, code(0x80004005), code(0x80070005)), E_FAIL, test::ReportLine(E_FAIL)},
      {DiagReply(10, 0, code(0x80070005)), S_OK, "Diag server configured.\r\n"},
      {DiagReply(10, 9), 9, test::ReportLine(9)},
  };
  for (const auto& row : rows) {
    ScriptedChannel* channel = nullptr;
    auto device = test::MakeScriptedDevice(channel);
    test::RecordingConsole console;
    ScopedConsole scoped(console);
    channel->ExpectSet(kDiagSelector)
        .ExpectStatus({row.reply.Opcode()})
        .ExpectGet(static_cast<std::uint8_t>(row.reply.Opcode() + 1), row.reply);
    EXPECT_EQ(HandleDiagServerConfig(DiagOptions(), *device), row.result) << row.output;
    EXPECT_EQ(console.Output(), row.output);
    EXPECT_TRUE(channel->ScriptDone());
  }
}

TEST_F(DiagServerTest, OtherRepliesAreDroppedAndFailedReadsReportedUntilTheAnswerComes) {
  channel_->ExpectSet(kDiagSelector)
      .ExpectStatus({}, 1)
      .ExpectStatus({13, 12})
      .ExpectGet(14, DiagReply(13, -1))
      .ExpectGet(kDiagSelector, XuPacket{}, kHrDeviceNotReady)
      .ExpectStatus({12, 12})
      .ExpectGet(kDiagSelector, DiagReply(12, 0));
  EXPECT_EQ(HandleDiagServerConfig(DiagOptions(1), *device_), S_OK);
  EXPECT_EQ(console_.Output(),
            test::ReportLine(kHrDeviceNotReady) + "Upload CELog command has been queued...\r\n");
  EXPECT_TRUE(channel_->ScriptDone());
  EXPECT_EQ(channel_->SetPackets(kDiagSelector).at(0).FlushLog(), 1);
}

TEST_F(DiagServerTest, FailuresBeforeAnyReplyAreReportedAndEndTheRun) {
  EXPECT_EQ(HandleDiagServerConfig(test::OptionsForMode(kModeDiag), *device_), E_INVALIDARG);
  EXPECT_EQ(console_.Output(), test::ReportLine(E_INVALIDARG));
  EXPECT_TRUE(channel_->Log().empty());

  channel_->ExpectSet(kDiagSelector, kHrDeviceNotConnected);
  EXPECT_EQ(HandleDiagServerConfig(DiagOptions(), *device_), kHrDeviceNotConnected);
  channel_->ExpectSet(kDiagSelector).ExpectGet(1, XuPacket{}, kHrDeviceNotConnected);
  EXPECT_EQ(HandleDiagServerConfig(DiagOptions(), *device_), kHrDeviceNotConnected);
  EXPECT_EQ(console_.Output(), test::ReportLine(E_INVALIDARG) +
                                   test::ReportLine(kHrDeviceNotConnected) +
                                   test::ReportLine(kHrDeviceNotConnected));
  EXPECT_TRUE(channel_->ScriptDone());
}

}  // namespace
}  // namespace hx
