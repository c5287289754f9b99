// The DAA read as an administrator runs it: the built hx7300 against a virtual HX7300, in
// process and served by hx7300-emulator, comparing the exact bytes printed and the exit status.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/daa_reply.h"
#include "support/process_runner.h"
#include "support/programs.h"

namespace hx {
namespace {

using test::EmulatorProcess;
using test::ProcessResult;
using test::ProcessRun;

ProcessResult ReadDaa(const std::string& device, std::vector<std::string> args = {"-m:daa", "-r"}) {
  ProcessRun run;
  run.argv = {test::HxBinary()};
  run.argv.insert(run.argv.end(), args.begin(), args.end());
  run.set_environment["HX7300_DEVICE"] = device;
  // A zone the device has an index for, so that a -t: value is judged on its own.
  run.set_environment["TZ"] = "Europe/Berlin";
  run.timeout = std::chrono::seconds(20);
  return test::RunProcess(run);
}

TEST(DaaReadEndToEnd, InProcessEmulatorPrintsTheSettingsBlock) {
  const ProcessResult result = ReadDaa("emulator");
  EXPECT_EQ(result.stdout_bytes, test::kDefaultDaaSettingsText);
  EXPECT_EQ(result.exit_status, 0);
}

TEST(DaaReadEndToEnd, ServedEmulatorPrintsTheValuesItWasGiven) {
  EmulatorProcess emulator(test::EmulatorBinary(),
                           {"--daa", "group=7,gcr=255,ictrl1-voice=0xff,lvcs=0,low-mag=65535"});
  ASSERT_TRUE(emulator.Started());
  const ProcessResult result = ReadDaa(emulator.Address());
  EXPECT_EQ(result.exit_status, 0);
  std::string expected = test::kDefaultDaaSettingsText;
  expected.replace(expected.find("Group Id     : 1"), 16, "Group Id     : 7");
  expected.replace(expected.find("GCR          : 2"), 16, "GCR          : 255");
  expected.replace(expected.find("ICTRL1_VOICE : 0Xa"), 18, "ICTRL1_VOICE : 0Xff");
  expected.replace(expected.find("LVCS Check   : TRUE"), 19, "LVCS Check   : FALSE");
  expected.replace(expected.find("Low Mag      : 300"), 18, "Low Mag      : 65535");
  EXPECT_EQ(result.stdout_bytes, expected);
  // A second run finds the same device state on a new connection.
  EXPECT_EQ(ReadDaa(emulator.Address()).stdout_bytes, expected);
}

TEST(DaaReadEndToEnd, DeviceSideFaultsEndTheReadAsTheDeviceSaid) {
  {
    EmulatorProcess emulator(test::EmulatorBinary(), {"--fault", "daa-bad-checksum"});
    ASSERT_TRUE(emulator.Started());
    const ProcessResult result = ReadDaa(emulator.Address());
    EXPECT_EQ(result.stdout_bytes, "Checksum failed..check the USB cable connection.\r\n");
    EXPECT_EQ(result.exit_status, 0x17);
  }
  {
    EmulatorProcess emulator(test::EmulatorBinary(),
                             {"--fault", "device-message=text:Line in use", "--fault",
                              "extra-replies=4:13", "--fault", "daa-other-records=2"});
    ASSERT_TRUE(emulator.Started());
    const ProcessResult result = ReadDaa(emulator.Address());
    EXPECT_EQ(result.stdout_bytes, "Line in use\r\n");
    EXPECT_EQ(result.exit_status, 0);
    // With the message shown, the next read goes past the other replies to the settings.
    const ProcessResult next = ReadDaa(emulator.Address());
    EXPECT_EQ(next.stdout_bytes, test::kDefaultDaaSettingsText);
    EXPECT_EQ(next.exit_status, 0);
  }
}

TEST(DaaReadEndToEnd, DeviceThatCannotBeOpenedEndsTheRunWithTheReason) {
  const ProcessResult unreachable = ReadDaa("unix:/nonexistent/hx7300.sock");
  EXPECT_EQ(unreachable.stdout_bytes, test::ReportLine(static_cast<HRESULT>(0x8007048F)));
  EXPECT_EQ(unreachable.exit_status, 0x8F);

  const ProcessResult bogus = ReadDaa("usb3");
  EXPECT_EQ(bogus.stdout_bytes, test::ReportLine(E_INVALIDARG));
  EXPECT_EQ(bogus.exit_status, 0x57);

  EmulatorProcess stranger(test::EmulatorBinary(), {"--device-path", "usb#vid_f0c5&pid_0001"});
  ASSERT_TRUE(stranger.Started());
  const ProcessResult wrong_device = ReadDaa(stranger.Address());
  EXPECT_EQ(wrong_device.stdout_bytes, test::ReportLine(E_FAIL));
  EXPECT_EQ(wrong_device.exit_status, 0x05);
}

TEST(DaaReadEndToEnd, LinkThatBreaksMidReadFailsTheRunWithoutHanging) {
  // Request and status read get through; the link drops before the reply is read.
  EmulatorProcess emulator(test::EmulatorBinary(), {"--fault", "disconnect-after=2"});
  ASSERT_TRUE(emulator.Started());
  const auto started = std::chrono::steady_clock::now();
  const ProcessResult result = ReadDaa(emulator.Address());
  EXPECT_FALSE(result.timed_out);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  const std::string not_connected = test::ReportLine(static_cast<HRESULT>(0x8007048F));
  EXPECT_EQ(result.stdout_bytes, not_connected + not_connected);  // reply read, status read
  EXPECT_EQ(result.exit_status, 0x8F);
}

TEST(DaaReadEndToEnd, OutputThatCannotBeWrittenIsTheRunsFailure) {
  struct Case {
    ProcessRun::Output to;
    std::vector<std::string> args;
    HRESULT result;
  } cases[] = {
      {ProcessRun::Output::kFile, {"-m:daa", "-r"}, static_cast<HRESULT>(0x80070070)},
      {ProcessRun::Output::kClosedPipe, {"-m:daa", "-r"}, static_cast<HRESULT>(0x800700E8)},
      {ProcessRun::Output::kFile, {"-m:daa", "-help"}, static_cast<HRESULT>(0x80070070)},
  };
  for (const Case& c : cases) {
    ProcessRun run;
    run.argv = {test::HxBinary()};
    run.argv.insert(run.argv.end(), c.args.begin(), c.args.end());
    run.set_environment = {{"HX7300_DEVICE", "emulator"}, {"HX7300_DEBUG_OUTPUT", "stderr"}};
    run.stdout_to = c.to;
    run.stdout_path = "/dev/full";
    const ProcessResult result = test::RunProcess(run);
    SCOPED_TRACE(result.stderr_bytes);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exit_status, c.result & 0xFF);
    // The failure is reported where it can still be seen: the debugger output.
    EXPECT_EQ(result.stderr_bytes, test::ReportLine(c.result));
  }
}

TEST(DaaReadEndToEnd, CommandLinesThatCannotBeUsedShowTheMainUsageScreenAndSayWhy) {
  // A run that touched this device would fail: it cannot be reached.
  const std::string unreachable = "unix:/nonexistent/hx7300.sock";
  const std::string main_screen = ReadDaa(unreachable, {}).stdout_bytes;
  ASSERT_NE(main_screen.find("Usage: " + test::HxBinary() + " -m:<mode> -help\r\n"),
            std::string::npos);
  const struct {
    std::vector<std::string> args;
    std::string reason;
  } cases[] = {
      {{"-m:daa"}, "hx7300: the read request is missing (-r)\n"},
      {{"-m:daa", "-r", "-r"}, "hx7300: -r: the settings are read once per run\n"},
      {{"-M:daa", "-r"}, "hx7300: -M:daa: the first argument must be the mode, -m:<mode>\n"},
      {{"-m:dsp", "-r"},
       "hx7300: -m:dsp: unknown mode; the modes are img, diag, netimg, cfg and daa\n"},
      // Cut to 35 characters this name would be another host, which the device would trust.
      {{"-m:netimg", "-s:boardroom-updates-0000001.localhost.evil", "-u:nk.txt"},
       "hx7300: -s:boardroom-updates-0000001.localhost.evil: the server name is 40 characters "
       "long; the device takes at most 35\n"},
      // Wrapped through 16 bits, the year would be 2024.
      {{"-m:cfg", "-t:67560+1-01L12:00:00"},
       "hx7300: -t:67560+1-01L12:00:00: a field of the date or time is larger than 65535\n"},
  };
  for (const auto& c : cases) {
    const ProcessResult result = ReadDaa(unreachable, c.args);
    EXPECT_EQ(result.exit_status, 0) << c.reason;
    EXPECT_EQ(result.stdout_bytes, main_screen) << c.reason;
    EXPECT_EQ(result.stderr_bytes, c.reason);
  }
  const ProcessResult help = ReadDaa("emulator", {"-m:DAA", "-HELP"});
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_EQ(help.stderr_bytes, "");
  EXPECT_EQ(help.stdout_bytes,
            "\r\nOrvanta HX7300 Management Utility [Version 1.0]\r\n\r\n"
            "DAA Read Usage:" +
                test::HxBinary() +
                " -m:daa <flags>\r\n"
                "\r\n"
                "    flags:\r\n"
                "     -r Read current DAA settings. \r\n"
                "\r\n");
}

}  // namespace
}  // namespace hx
