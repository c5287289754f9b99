// cfg and diag as an administrator runs them at a terminal, against hx7300-emulator keeping
// its state as files: the clock set under a time zone and read back from the device's state,
// a reboot and the reconnection after it, the parse result before and after a configuration
// is uploaded, a file and the CELOG uploaded to the log server.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/process_runner.h"
#include "support/programs.h"
#include "support/pty_session.h"
#include "support/temp_file.h"

namespace hx {
namespace {

constexpr const char* kPrompt = "\r\nEnter passcode:\r\n";

struct TerminalRun {
  std::string output;
  int status;
};

class SystemConfigEndToEnd : public ::testing::Test {
 protected:
  SystemConfigEndToEnd()
      : emulator_(test::EmulatorBinary(), {"--state-dir", (dir_.Path() / "state").string()}) {}

  // Runs hx7300 at a terminal in zone tz, typing the passcode at its prompt.
  TerminalRun AtTerminal(std::vector<std::string> args, const std::string& tz = "Europe/Berlin",
                         std::string device = {}) {
    args.insert(args.begin(), test::HxBinary());
    test::PtySession session(
        args, {{"HX7300_DEVICE", device.empty() ? emulator_.Address() : device}, {"TZ", tz}});
    EXPECT_TRUE(session.WaitForOutput("\r\nEnter passcode:"));
    EXPECT_TRUE(session.WaitForEcho(false));
    session.Type("1234\r");
    const int status = session.Finish();
    return {session.Output(), status};
  }

  test::ProcessResult Diag(const std::string& flag) {
    return test::RunProcess({.argv = {test::HxBinary(), "-m:diag", flag},
                             .set_environment = {{"HX7300_DEVICE", emulator_.Address()}}});
  }

  std::string StateFile(const char* name) const {
    std::ifstream file(dir_.Path() / "state" / name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
  }

  test::TempDir dir_;
  test::EmulatorProcess emulator_;
};

TEST_F(SystemConfigEndToEnd, ClockIsSetFromTheTimeZoneOfTheRunAndKeptByTheDevice) {
  ASSERT_TRUE(emulator_.Started());
  // The hour skipped when Berlin's clocks go forward is taken with the daylight offset.
  TerminalRun run = AtTerminal({"-m:cfg", "-t:2024-03-31L02:30:00"});
  EXPECT_EQ(run.output, std::string(kPrompt) + "Setting Time Zone Information succeeded.\r\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(StateFile("CLOCK.TXT"),
            "zone-index 110\n"
            "local 2024-03-31 02:30:00.000 day-of-week 0\n"
            "utc 2024-03-31 00:30:00.000 day-of-week 0\n");

  run = AtTerminal({"-m:cfg", "-t:2024-07-01U22:15:00"}, "Australia/Sydney");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(StateFile("CLOCK.TXT"),
            "zone-index 255\n"
            "local 2024-07-02 08:15:00.000 day-of-week 2\n"
            "utc 2024-07-01 22:15:00.000 day-of-week 0\n");

  run = AtTerminal({"-m:cfg", "-t:now"}, "Asia/Kolkata");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(StateFile("CLOCK.TXT").starts_with("zone-index 190\nlocal 20"));

  // A zone the device has no index for is refused before the device is touched.
  const std::string before = StateFile("CLOCK.TXT");
  const test::ProcessResult refused = test::RunProcess(
      {.argv = {test::HxBinary(), "-m:cfg", "-t:now"},
       .set_environment = {{"HX7300_DEVICE", emulator_.Address()}, {"TZ", "Etc/UTC"}}});
  EXPECT_EQ(refused.exit_status, 0);
  EXPECT_NE(refused.stdout_bytes.find("Usage: "), std::string::npos);
  EXPECT_EQ(StateFile("CLOCK.TXT"), before);
}

TEST_F(SystemConfigEndToEnd, RebootClosesTheLinkAndTheNextRunReconnects) {
  ASSERT_TRUE(emulator_.Started());
  for (const char* flag : {"-r", "-rm"}) {
    const TerminalRun run = AtTerminal({"-m:cfg", flag});
    EXPECT_EQ(run.output, std::string(kPrompt) + "Attempting to reboot the HX7300 device....\r\n");
    EXPECT_EQ(run.status, 0);
  }
  const TerminalRun after = AtTerminal({"-m:cfg", "-t:2024-01-15L12:00:00"});
  EXPECT_EQ(after.output, std::string(kPrompt) + "Setting Time Zone Information succeeded.\r\n");
  EXPECT_EQ(after.status, 0);
}

TEST_F(SystemConfigEndToEnd, ParseResultBeforeAndAfterAConfigurationIsUploaded) {
  ASSERT_TRUE(emulator_.Started());
  TerminalRun run = AtTerminal({"-m:cfg", "-q:cfgparseresult"});
  EXPECT_EQ(run.output, std::string(kPrompt) +
                            "Configuration parsing failed!  Error code = 0x80070002 : No file "
                            "exists with the given name.\r\n\r\n");
  EXPECT_EQ(run.status, 0x02);

  const auto upload = [this](const std::string& document) {
    const auto path = dir_.Write("qvconfig.xml", {document.begin(), document.end()});
    return AtTerminal({"-m:img", "-i:qvconfig", "-f:" + path.string()}).status;
  };
  ASSERT_EQ(upload("<config><room name='Boardroom'/></config>"), 0);
  run = AtTerminal({"-m:cfg", "-q:CfgParseResult"});
  EXPECT_EQ(run.output, std::string(kPrompt) + "Configuration validation succeeded.\r\n");
  EXPECT_EQ(run.status, 0);

  ASSERT_EQ(upload("<config><room></config>"), 0);
  run = AtTerminal({"-m:cfg", "-q:cfgparseresult"});
  EXPECT_EQ(run.output, std::string(kPrompt) +
                            "Configuration parsing failed!  Error code = 0x800705B9 : The XML "
                            "data could not be parsed.\r\n\r\n");
  EXPECT_EQ(run.status, 0xB9);
}

TEST_F(SystemConfigEndToEnd, FilesAndTheCelogGoToTheLogServer) {
  ASSERT_TRUE(emulator_.Started());
  const auto path = dir_.Write("qvconfig.xml", test::PatternBytes(300));
  ASSERT_EQ(AtTerminal({"-m:img", "-i:config", "-f:" + path.string()}).status, 0);
  TerminalRun run = AtTerminal({"-m:cfg", "-f:QVCONFIG.XML"});
  EXPECT_EQ(run.output, std::string(kPrompt) + "Uploading requested file succeeded.\r\n");
  run = AtTerminal({"-m:cfg", "-f:" + std::string(50, 'N')});
  EXPECT_EQ(run.output, std::string(kPrompt) +
                            "Uploading requested file failed!  Error code = 0x80070002 : No file "
                            "exists with the given name.\r\n\r\n");
  EXPECT_EQ(run.status, 0x02);

  for (const char* flag : {"-l", "-l:FLUSH"}) {
    const test::ProcessResult diag = Diag(flag);
    EXPECT_EQ(diag.stdout_bytes, "Upload CELog command has been queued...\r\n");
    EXPECT_EQ(diag.exit_status, 0);
  }
  EXPECT_EQ(StateFile("LOGSERVER.TXT"), "QVCONFIG.XML (300 bytes)\nCELOG\nCELOG (log flushed)\n");
}

// The utility carries no HTTP client and no XML parser: its in-process device answers what needs
// them as not supported, and hx7300-emulator is the device that has them.
TEST_F(SystemConfigEndToEnd, TheInProcessDeviceHasNoNetworkUpdateAndNoParseResult) {
  const TerminalRun parse = AtTerminal({"-m:cfg", "-q:cfgparseresult"}, "UTC", "emulator");
  EXPECT_EQ(parse.output, std::string(kPrompt) +
                              "Configuration parsing failed!  Error code = 0x80070032 : The "
                              "request is not supported for this kind of item.\r\n\r\n");
  EXPECT_EQ(parse.status, 0x32);
  const TerminalRun update =
      AtTerminal({"-m:netimg", "-s:127.0.0.1", "-u:m.txt"}, "UTC", "emulator");
  EXPECT_TRUE(update.output.ends_with(
      "Initializing image update...FAILED!  Error = 0x80070032 (0)\r\nImage Update failed.\r\n"))
      << update.output;
  EXPECT_EQ(update.status, 0x32);
}

}  // namespace
}  // namespace hx
