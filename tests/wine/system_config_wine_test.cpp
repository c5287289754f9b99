// cfg and diag of the Windows build under Wine, against the Linux hx7300-emulator: the time
// records the device receives for the same TZ and value, and the console bytes and exit
// statuses of a reboot, the parse result and the CELOG upload, compared with the Linux build's;
// and the parse result of hx7300-emulator.exe, compared with the Linux emulator's.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/process_runner.h"
#include "support/pty_session.h"
#include "support/temp_file.h"
#include "wine/windows_build.h"

namespace hx {
namespace {

using test::Command;
using test::EmulatorProcess;
using test::PtySession;

struct TerminalRun {
  std::string output;
  int status;
};

class SystemConfigUnderWine : public ::testing::Test {
 protected:
  SystemConfigUnderWine()
      : emulator_(test::EmulatorBinary(), {"--state-dir", (dir_.Path() / "state").string()}, {},
                  EmulatorProcess::Transport::kTcp) {}

  // Runs one build at a terminal in zone tz, typing the passcode at its prompt, against device
  // (the Linux emulator when empty).
  TerminalRun AtTerminal(bool windows, const std::vector<std::string>& args,
                         const std::string& tz = "Europe/Berlin", const std::string& device = "") {
    PtySession session(
        Command(windows, args),
        {{"HX7300_DEVICE", device.empty() ? emulator_.Address() : device}, {"TZ", tz}}, false,
        PtySession::OutputTo::kPipe);
    EXPECT_TRUE(session.WaitForOutput("\r\nEnter passcode:", std::chrono::seconds(30)));
    // The prompt comes just before echo goes off; the console reads only what comes after.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    session.Type("1234\r");
    const int status = session.Finish(std::chrono::seconds(60));
    return {session.Output(), status};
  }

  // The two time records the device was last sent, without the zone index: Wine maps TZ to
  // the first of its zones with the same rules (Europe/Berlin to "Central Europe Standard
  // Time"), where ICU names the zone itself ("W. Europe Standard Time").
  std::string ClockTimes() const {
    const std::string clock = ClockFile();
    return clock.substr(clock.find('\n') + 1);
  }

  std::string ClockFile() const {
    std::ifstream file(dir_.Path() / "state" / "CLOCK.TXT", std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
  }

  test::TempDir dir_;
  EmulatorProcess emulator_;
};

TEST_F(SystemConfigUnderWine, BothBuildsSendTheSameTimeRecordsForTheSameZoneAndValue) {
  ASSERT_TRUE(emulator_.Started());
  const struct {
    const char* tz;
    const char* value;
  } cases[] = {
      {"Europe/Berlin", "-t:2024-01-15L12:00:00"},
      // The hour skipped in spring and the one repeated in autumn, in the north and the south.
      {"Europe/Berlin", "-t:2024-03-31L02:30:00"},
      {"Europe/Berlin", "-t:2024-10-27L02:30:00"},
      {"Australia/Sydney", "-t:2024-10-06L02:30:00"},
      {"Australia/Sydney", "-t:2024-04-07L02:30:00"},
      {"Australia/Sydney", "-t:2024-04-06U16:00:00"},
      {"America/New_York", "-t:2024-11-03U05:30:00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.tz) + " " + c.value);
    const TerminalRun linux_run = AtTerminal(false, {"-m:cfg", c.value}, c.tz);
    const std::string linux_clock = ClockFile();
    const std::string linux_times = ClockTimes();
    // Each build's records, not the other's, are compared.
    std::filesystem::remove(dir_.Path() / "state" / "CLOCK.TXT");
    const TerminalRun windows_run = AtTerminal(true, {"-m:cfg", c.value}, c.tz);
    EXPECT_EQ(linux_run.status, 0);
    EXPECT_EQ(windows_run.status, 0);
    EXPECT_EQ(windows_run.output, linux_run.output);
    EXPECT_TRUE(linux_clock.starts_with("zone-index ")) << linux_clock;
    EXPECT_TRUE(ClockFile().starts_with("zone-index ")) << ClockFile();
    EXPECT_EQ(ClockTimes(), linux_times);
  }
}

TEST_F(SystemConfigUnderWine, RebootParseResultAndCelogAreTheLinuxBuildsByteForByte) {
  ASSERT_TRUE(emulator_.Started());
  const auto config = dir_.Write("qvconfig.xml", {'<', 'c', '/', '>'});
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"-m:cfg", "-q:cfgparseresult"},
           {"-m:cfg", "-f:NOSUCH.XML"},
           {"-m:cfg", "-r"},
           {"-m:cfg", "-rm"},
           // The Windows build uploads a configuration; then both find it parsed.
           {"-m:img", "-i:config", test::FileArg(true, "-f:", config)},
           {"-m:cfg", "-q:cfgparseresult"}}) {
    const TerminalRun windows_run = AtTerminal(true, args);
    const TerminalRun linux_run = args[0] == "-m:img" ? windows_run : AtTerminal(false, args);
    EXPECT_EQ(windows_run.status, linux_run.status) << args[1];
    // The failure lines end in each system's own text for the code.
    const std::string linux_line = linux_run.output.substr(0, linux_run.output.find(" : "));
    EXPECT_EQ(windows_run.output.substr(0, windows_run.output.find(" : ")), linux_line);
    EXPECT_TRUE(windows_run.output.ends_with("\r\n")) << windows_run.output;
  }
  EXPECT_TRUE(AtTerminal(true, {"-m:cfg", "-q:cfgparseresult"})
                  .output.ends_with("Configuration validation succeeded.\r\n"));
  for (const char* flag : {"-l", "-l:flush"}) {
    const test::ProcessResult linux_run =
        test::RunBuild(false, {"-m:diag", flag}, emulator_.Address());
    const test::ProcessResult windows_run =
        test::RunBuild(true, {"-m:diag", flag}, emulator_.Address());
    EXPECT_EQ(windows_run.stdout_bytes, "Upload CELog command has been queued...\r\n");
    EXPECT_EQ(windows_run.stdout_bytes, linux_run.stdout_bytes);
    EXPECT_EQ(windows_run.exit_status, 0);
  }
}

TEST_F(SystemConfigUnderWine, WindowsEmulatorsParseResultIsTheLinuxEmulatorsByteForByte) {
  ASSERT_TRUE(emulator_.Started());
  EmulatorProcess windows_emulator(test::kWindowsBuild + "/hx7300-emulator.exe", {}, {},
                                   EmulatorProcess::Transport::kTcp,
                                   test::kWindowsBuild + "/wine-run");
  ASSERT_TRUE(windows_emulator.Started());
  // The Linux utility asks each emulator, with no file stored, then with each of these.
  const std::vector<std::string> documents = {"", "<config><room name='Boardroom'/></config>",
                                              "<config><room></config>"};
  for (const std::string& document : documents) {
    SCOPED_TRACE(document);
    TerminalRun runs[2];
    for (const bool windows : {false, true}) {
      const std::string device = windows ? windows_emulator.Address() : emulator_.Address();
      if (!document.empty()) {
        const auto path = dir_.Write("qvconfig.xml", {document.begin(), document.end()});
        ASSERT_EQ(AtTerminal(false, {"-m:img", "-i:qvconfig", "-f:" + path.string()},
                             "Europe/Berlin", device)
                      .status,
                  0);
      }
      runs[windows] = AtTerminal(false, {"-m:cfg", "-q:cfgparseresult"}, "Europe/Berlin", device);
    }
    EXPECT_EQ(runs[1].output, runs[0].output);
    EXPECT_EQ(runs[1].status, runs[0].status);
  }
}

}  // namespace
}  // namespace hx
