// The cfg handler against a scripted device: the passcode first, then one request and the
// stage line of its reply, or the reboot request alone; every stage of the reply table and
// every failure on the way, with the console bytes and the result the run ends with.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/option_parsers.h"
#include "console/report_error.h"
#include "operations/handlers.h"
#include "support/command_line.h"
#include "support/debug_output_file.h"
#include "support/device_run.h"
#include "support/programs.h"

namespace hx {
namespace {

constexpr std::uint8_t kConfigSelector = 14;
constexpr const char* kPrompt = "\r\nEnter passcode:\r\n";

XuPacket ConfigReply(std::uint8_t arg1, std::int32_t command, std::int32_t status,
                     std::int32_t validation = 0) {
  XuPacket reply;
  reply.SetOpcode(13);
  reply.SetArg1(arg1);
  reply.SetStatus(status);
  reply.SetConfigCommand(command);
  reply.SetValidationResult(validation);
  return reply;
}

// The stage's failure line as the console shows it, with the system's text for the code.
std::string FailureLine(const std::string& stage, std::uint32_t code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", code);
  std::string line = stage + " failed!  Error code = " + hex + " : ";
  for (const wchar_t ch : SystemMessageOrNull(static_cast<HRESULT>(code))) {
    line.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
  }
  return line + "\r\n";
}

ModeOptions ParseResultQuery() {
  ModeOptions options = test::OptionsForMode(kModeConfig);
  options.Config.CfgCommand = kCfgParseResult;
  return options;
}

// A device and a console of their own, for one run of the handler.
struct HandlerRun : test::DeviceRun {
  // The passcode typed and the device's verdict on it.
  HandlerRun& ScriptPasscode(std::int32_t status = 0) {
    console.QueueHiddenLine(L"1234");
    Script().ExpectPasscodeVerdict(status);
    return *this;
  }
  // The request and one reply to it.
  HandlerRun& ScriptReply(const XuPacket& reply) {
    Script().ExpectSet(kConfigSelector).ExpectStatus({13}).ExpectGet(kConfigSelector, reply);
    return *this;
  }
  HRESULT Handle(const ModeOptions& options) { return Run(HandleSystemConfigMode, options); }
};

TEST(SystemConfig, EveryStageOfTheReplyTablePrintsItsLineAndEndsWithItsCode) {
  const struct {
    XuPacket reply;
    HRESULT result;
    std::string line;
  } rows[] = {
      // Arg1 0 is the time-zone reply, whatever command it echoes.
      {ConfigReply(0, 3, 0), S_OK, "Setting Time Zone Information succeeded.\r\n"},
      {ConfigReply(0, 110, static_cast<std::int32_t>(0x80070057)), E_INVALIDARG,
       FailureLine("Setting Time Zone Information", 0x80070057)},
      {ConfigReply(1, 1, 0), S_OK, "Setting AVS Configuration succeeded.\r\n"},
      {ConfigReply(1, 1, 5), 5, FailureLine("Setting AVS Configuration", 5)},
      {ConfigReply(1, 3, 0, 0), S_OK, "Configuration validation succeeded.\r\n"},
      {ConfigReply(1, 3, 0, static_cast<std::int32_t>(0x800705B9)),
       static_cast<HRESULT>(0x800705B9), FailureLine("Configuration validation", 0x800705B9)},
      // A parsing failure hides the validation result.
      {ConfigReply(1, 3, static_cast<std::int32_t>(0x80070002), 7),
       static_cast<HRESULT>(0x80070002), FailureLine("Configuration parsing", 0x80070002)},
      {ConfigReply(1, 5, 0), S_OK, "Uploading requested file succeeded.\r\n"},
      {ConfigReply(1, 6, static_cast<std::int32_t>(0x80070002)), static_cast<HRESULT>(0x80070002),
       FailureLine("Uploading requested file", 0x80070002)},
      {ConfigReply(1, 7, 0), S_OK, "Setting Publish SSL PDF mode succeeded.\r\n"},
      {ConfigReply(1, 7, static_cast<std::int32_t>(0xDEADBEEF)), static_cast<HRESULT>(0xDEADBEEF),
       FailureLine("Setting Publish SSL PDF mode", 0xDEADBEEF)},
      // A command without a stage counts as success whatever its Status.
      {ConfigReply(1, 9, static_cast<std::int32_t>(0x80004005)), S_OK,
       "Configuration command 9 succeeded.\r\n"},
  };
  for (const auto& row : rows) {
    HandlerRun run;
    run.ScriptPasscode().ScriptReply(row.reply);
    EXPECT_EQ(run.Handle(ParseResultQuery()), row.result) << row.line;
    EXPECT_EQ(run.console.Output(), kPrompt + row.line);
    EXPECT_TRUE(run.Script().ScriptDone());
  }
}

TEST(SystemConfig, FailureLineGoesToTheDebuggerOutputWithoutItsLineEnd) {
  test::DebugOutputFile debug;
  HandlerRun run;
  run.ScriptPasscode().ScriptReply(ConfigReply(1, 3, static_cast<std::int32_t>(0x80070002)));
  EXPECT_EQ(run.Handle(ParseResultQuery()), static_cast<HRESULT>(0x80070002));
  std::string line = FailureLine("Configuration parsing", 0x80070002);
  line.resize(line.size() - 2);  // the debugger line has the system text's line end only
  EXPECT_EQ(debug.Contents().substr(0, line.size()), line);
}

TEST(SystemConfig, OtherRepliesAreDroppedAndAnEmptyStatusLeadsBackToTheWait) {
  HandlerRun run;
  run.ScriptPasscode();
  XuPacket other;
  other.SetOpcode(12);
  other.SetStatus(-1);
  run.Script()
      .ExpectSet(kConfigSelector)
      .ExpectStatus({}, 1)
      .ExpectStatus({12, 4}, 1)
      .ExpectGet(13, other)
      .ExpectGet(5, other)
      .ExpectStatus({12, 13, 13})
      .ExpectGet(13, other)
      .ExpectGet(kConfigSelector, ConfigReply(1, 3, 0));
  EXPECT_EQ(run.Handle(ParseResultQuery()), S_OK);
  EXPECT_EQ(run.console.Output(), std::string(kPrompt) + "Configuration validation succeeded.\r\n");
  EXPECT_TRUE(run.Script().ScriptDone());  // the second opcode-13 reply stays unread
}

TEST(SystemConfig, FailuresOnTheWayAreReportedOnceAndEndTheRun) {
  {
    // The device refuses the passcode: nothing more is sent.
    HandlerRun run;
    run.ScriptPasscode(static_cast<std::int32_t>(0x8007052B));
    EXPECT_EQ(run.Handle(ParseResultQuery()), static_cast<HRESULT>(0x8007052B));
    EXPECT_EQ(run.console.Output(), kPrompt + test::ReportLine(static_cast<HRESULT>(0x8007052B)));
    EXPECT_EQ(run.Script().SetPackets(kConfigSelector).size(), 1u);
  }
  for (const HRESULT failure : {kHrDeviceNotConnected, E_FAIL}) {
    HandlerRun run;
    run.ScriptPasscode();
    // The request's write, then the status read.
    if (failure == kHrDeviceNotConnected) {
      run.Script().ExpectSet(kConfigSelector, failure);
    } else {
      run.Script().ExpectSet(kConfigSelector).ExpectGet(1, XuPacket{}, failure);
    }
    EXPECT_EQ(run.Handle(ParseResultQuery()), failure);
    EXPECT_EQ(run.console.Output(), kPrompt + test::ReportLine(failure));
    EXPECT_TRUE(run.Script().ScriptDone());
  }
}

TEST(SystemConfig, AReplyThatCannotBeReadIsReportedAndTheWaitGoesOn) {
  HandlerRun run;
  run.ScriptPasscode();
  run.Script()
      .ExpectSet(kConfigSelector)
      .ExpectStatus({13})
      .ExpectGet(kConfigSelector, XuPacket{}, kHrDeviceNotReady)
      .ExpectStatus({13})
      .ExpectGet(kConfigSelector, ConfigReply(0, 110, 0));
  ModeOptions options = test::OptionsForMode(kModeConfig);
  options.Config.CfgCommand = kCfgSetTime;
  EXPECT_EQ(run.Handle(options), S_OK);
  EXPECT_EQ(run.console.Output(), kPrompt + test::ReportLine(kHrDeviceNotReady) +
                                      "Setting Time Zone Information succeeded.\r\n");
}

TEST(SystemConfig, PasscodeChangeRunsItsOwnDialogueWithoutASeparateValidation) {
  HandlerRun run;
  run.ScriptPasscode();
  run.console.QueueHiddenLine(L"Room42");
  run.console.QueueHiddenLine(L"Room42");
  run.Script()
      .ExpectSet(kConfigSelector)
      .ExpectStatus({13})
      .ExpectGet(14, ConfigReply(3, 0, static_cast<std::int32_t>(0x80004005)));
  EXPECT_EQ(run.Handle(test::OptionsForMode(kModeConfigPasscode)), E_FAIL);
  EXPECT_EQ(run.console.Output(),
            "\r\nEnter passcode:\r\nEnter new passcode:\r\nRe-enter new passcode:\r\n" +
                test::ReportLine(E_FAIL));
  const auto sent = run.Script().SetPackets(kConfigSelector);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].Arg1(), 2);
  EXPECT_EQ(sent[1].Arg1(), 3);
}

TEST(SystemConfig, RebootsValidateThenSendTheirCommandAndEndWithoutAReply) {
  for (const auto& [mode, command] :
       {std::pair{kModeConfigReboot, 2}, std::pair{kModeConfigRebootVariant, 4}}) {
    for (const HRESULT write : {S_OK, kHrDeviceNotConnected}) {
      HandlerRun run;
      // A positive verdict is no failure: the reboot goes ahead, and the run ends with it.
      run.ScriptPasscode(3);
      run.Script().ExpectSet(kConfigSelector, write, 0);
      EXPECT_EQ(run.Handle(test::OptionsForMode(mode)), 3);
      EXPECT_EQ(run.console.Output(),
                std::string(kPrompt) + "Attempting to reboot the HX7300 device....\r\n");
      const auto sent = run.Script().SetPackets(kConfigSelector);
      ASSERT_EQ(sent.size(), 2u);
      EXPECT_EQ(sent[1].Arg1(), 1);
      EXPECT_EQ(sent[1].ConfigCommand(), command);
      EXPECT_TRUE(run.Script().ScriptDone());
    }
  }
}

TEST(SystemConfig, UploadNamesOf39CharactersGoWholeAndLongerOnesCut) {
  const std::wstring name39(39, L'N');
  const std::wstring token50 = L"-f:" + std::wstring(39, L'L') + L"xxxxxxxxxxx";
  const struct {
    std::wstring token;
    std::string sent;
  } cases[] = {
      {L"-f:" + name39, std::string(39, 'N')},
      {token50, std::string(39, 'L')},
      // A character with no 8-bit form names no file the device has.
      {L"-f:log\u00E9\u20AC.txt", "log\xE9?.txt"},
  };
  for (const auto& c : cases) {
    HandlerRun run;
    ModeOptions options = test::OptionsForMode(kModeConfig);
    ASSERT_EQ(
        test::Parse(ParseConfigOptions, test::CommandLine(L"-m:cfg", {c.token.c_str()}), options),
        S_OK);
    run.ScriptPasscode().ScriptReply(ConfigReply(1, 5, 0));
    EXPECT_EQ(run.Handle(options), S_OK);
    const XuPacket request = run.Script().SetPackets(kConfigSelector).at(1);
    const auto data = request.ConfigData();
    EXPECT_EQ(std::string(data.begin(), data.begin() + c.sent.size()), c.sent);
    EXPECT_EQ(data[c.sent.size()], 0);
    EXPECT_EQ(request.Byte(51), 0);
  }
}

TEST(SystemConfig, AnActionWithoutARequestSendsNothingAfterThePasscode) {
  HandlerRun run;
  run.ScriptPasscode();
  ModeOptions options = test::OptionsForMode(10);
  options.Config.CfgCommand = 2;
  EXPECT_EQ(run.Handle(options), E_INVALIDARG);
  EXPECT_EQ(run.console.Output(), kPrompt);
  EXPECT_EQ(run.Script().SetPackets(kConfigSelector).size(), 1u);
}

}  // namespace
}  // namespace hx
