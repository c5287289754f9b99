// The diag handler against a scripted device: the CELOG upload request, the replies on
// opcodes 12 and 10 that end its wait, and the failures on the way.

#include <gtest/gtest.h>

#include <string>

#include "operations/handlers.h"
#include "support/command_line.h"
#include "support/device_run.h"
#include "support/programs.h"

namespace hx {
namespace {

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

TEST(DiagServerTest, RepliesThatEndTheWaitPrintTheirLineOrReportTheDevicesCode) {
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
    test::DeviceRun run;
    run.Script()
        .ExpectSet(kDiagSelector)
        .ExpectStatus({row.reply.Opcode()})
        .ExpectGet(static_cast<std::uint8_t>(row.reply.Opcode() + 1), row.reply);
    EXPECT_EQ(run.Run(HandleDiagServerConfig, DiagOptions()), row.result) << row.output;
    EXPECT_EQ(run.console.Output(), row.output);
    EXPECT_TRUE(run.Script().ScriptDone());
  }
}

TEST(DiagServerTest, OtherRepliesAreDroppedAndFailedReadsReportedUntilTheAnswerComes) {
  test::DeviceRun run;
  run.Script()
      .ExpectSet(kDiagSelector)
      .ExpectStatus({}, 1)
      .ExpectStatus({13, 12})
      .ExpectGet(14, DiagReply(13, -1))
      .ExpectGet(kDiagSelector, XuPacket{}, kHrDeviceNotReady)
      .ExpectStatus({12, 12})
      .ExpectGet(kDiagSelector, DiagReply(12, 0));
  EXPECT_EQ(run.Run(HandleDiagServerConfig, DiagOptions(1)), S_OK);
  EXPECT_EQ(run.console.Output(),
            test::ReportLine(kHrDeviceNotReady) + "Upload CELog command has been queued...\r\n");
  EXPECT_TRUE(run.Script().ScriptDone());
  EXPECT_EQ(run.Script().SetPackets(kDiagSelector).at(0).FlushLog(), 1);
}

TEST(DiagServerTest, FailuresBeforeAnyReplyAreReportedAndEndTheRun) {
  test::DeviceRun run;
  EXPECT_EQ(run.Run(HandleDiagServerConfig, test::OptionsForMode(kModeDiag)), E_INVALIDARG);
  EXPECT_EQ(run.console.Output(), test::ReportLine(E_INVALIDARG));
  EXPECT_TRUE(run.Script().Log().empty());

  run.Script().ExpectSet(kDiagSelector, kHrDeviceNotConnected);
  EXPECT_EQ(run.Run(HandleDiagServerConfig, DiagOptions()), kHrDeviceNotConnected);
  run.Script().ExpectSet(kDiagSelector).ExpectGet(1, XuPacket{}, kHrDeviceNotConnected);
  EXPECT_EQ(run.Run(HandleDiagServerConfig, DiagOptions()), kHrDeviceNotConnected);
  EXPECT_EQ(run.console.Output(), test::ReportLine(E_INVALIDARG) +
                                      test::ReportLine(kHrDeviceNotConnected) +
                                      test::ReportLine(kHrDeviceNotConnected));
  EXPECT_TRUE(run.Script().ScriptDone());
}

}  // namespace
}  // namespace hx
