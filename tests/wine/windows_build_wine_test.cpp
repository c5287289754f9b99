// The Windows build run as a Windows user would run it, under Wine on this machine: against
// the Linux hx7300-emulator over TCP, its console bytes compared with the Linux build's.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/process_runner.h"
#include "support/programs.h"
#include "support/pty_session.h"
#include "support/temp_file.h"
#include "wine/windows_build.h"

namespace hx {
namespace {

using test::EmulatorProcess;
using test::ProcessResult;
using test::PtySession;

using test::Command;
using test::FileArg;
using test::kWindowsBuild;
using test::RunBuild;

// The usage screens print the program name as it was started: a Linux path, or the Windows
// path that Wine gives the program.
std::string WithoutProgramName(std::string text, bool windows) {
  std::string name = test::HxBinary();
  if (windows) {
    name = "Z:" + kWindowsBuild + "/hx7300.exe";
    std::replace(name.begin(), name.end(), '/', '\\');
  }
  for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at)) {
    text.replace(at, name.size(), "<program>");
  }
  return text;
}

TEST(WindowsBuildUnderWine, UsageScreensAreTheLinuxBuildsByteForByte) {
  const std::vector<std::vector<std::string>> command_lines = {
      {},
      {"-m:IMG", "-HELP"},
      {"-m:diag", "-help"},
      {"-m:netimg", "-help"},
      {"-m:cfg", "-help"},
      {"-m:daa", "-help"},
      {"-m:cfg"},
      {"-m:nothing", "-help"},
  };
  for (const auto& args : command_lines) {
    const ProcessResult linux_run = RunBuild(false, args);
    const ProcessResult windows_run = RunBuild(true, args);
    EXPECT_EQ(windows_run.exit_status, 0);
    EXPECT_EQ(WithoutProgramName(windows_run.stdout_bytes, true),
              WithoutProgramName(linux_run.stdout_bytes, false));
    EXPECT_NE(WithoutProgramName(windows_run.stdout_bytes, true).find("<program>"),
              std::string::npos);
    EXPECT_TRUE(windows_run.stdout_bytes.starts_with("\r\nOrvanta HX7300 Management Utility"));
  }
}

TEST(WindowsBuildUnderWine, DaaReadOverTcpIsTheLinuxBuildsByteForByte) {
  EmulatorProcess emulator(test::EmulatorBinary(), {"--daa", "group=2,lvcs=7"}, {},
                           EmulatorProcess::Transport::kTcp);
  ASSERT_TRUE(emulator.Started());
  const ProcessResult linux_run = RunBuild(false, {"-m:daa", "-r"}, emulator.Address());
  const ProcessResult windows_run = RunBuild(true, {"-m:daa", "-r"}, emulator.Address());
  EXPECT_EQ(linux_run.exit_status, 0);
  EXPECT_EQ(windows_run.exit_status, 0);
  EXPECT_NE(linux_run.stdout_bytes.find("\r\n"), std::string::npos);
  EXPECT_EQ(windows_run.stdout_bytes, linux_run.stdout_bytes);
  // The virtual HX7300 inside the utility, and the Windows build's own emulator serving the
  // Linux utility over Winsock.
  EXPECT_EQ(RunBuild(true, {"-m:daa", "-r"}, "emulator").stdout_bytes,
            RunBuild(false, {"-m:daa", "-r"}, "emulator").stdout_bytes);
  EmulatorProcess windows_emulator(kWindowsBuild + "/hx7300-emulator.exe",
                                   {"--daa", "group=2,lvcs=7"}, {},
                                   EmulatorProcess::Transport::kTcp, kWindowsBuild + "/wine-run");
  ASSERT_TRUE(windows_emulator.Started());
  EXPECT_EQ(RunBuild(false, {"-m:daa", "-r"}, windows_emulator.Address()).stdout_bytes,
            linux_run.stdout_bytes);
}

// Failure lines carry each platform's own message text; the code and the exit status agree.
void ExpectSameFailure(const ProcessResult& linux_run, const ProcessResult& windows_run,
                       const std::string& code_text) {
  EXPECT_TRUE(windows_run.stdout_bytes.starts_with(code_text)) << windows_run.stdout_bytes;
  EXPECT_TRUE(linux_run.stdout_bytes.starts_with(code_text)) << linux_run.stdout_bytes;
  EXPECT_TRUE(windows_run.stdout_bytes.ends_with("\r\n"));
  EXPECT_EQ(windows_run.stdout_bytes.find("\r\r\n"), std::string::npos);
  // Wine hands Linux the low byte of the Windows exit status, the HRESULT.
  EXPECT_EQ(windows_run.exit_status, linux_run.exit_status);
}

TEST(WindowsBuildUnderWine, FailuresGiveTheSameCodesAsTheLinuxBuild) {
  EmulatorProcess emulator(test::EmulatorBinary(), {}, {}, EmulatorProcess::Transport::kTcp);
  ASSERT_TRUE(emulator.Started());
  ExpectSameFailure(RunBuild(false, {"-m:daa", "-r"}, "bogus"),
                    RunBuild(true, {"-m:daa", "-r"}, "bogus"), "(0x80070057) : ");
  // A passcode cannot be read from a pipe: standard input is no console.
  test::TempDir dir;
  const auto image = dir.Write("config.xml", test::PatternBytes(100));
  ExpectSameFailure(
      RunBuild(false, {"-m:img", "-i:config", FileArg(false, "-f:", image)}, emulator.Address()),
      RunBuild(true, {"-m:img", "-i:config", FileArg(true, "-f:", image)}, emulator.Address()),
      "\r\nEnter passcode:\r\n(0x80070006) : ");
}

TEST(WindowsBuildUnderWine, WithoutACameraTheSystemEnumeratorFindsNoDevice) {
  const ProcessResult run = RunBuild(true, {"-m:daa", "-r"});
  EXPECT_TRUE(run.stdout_bytes.starts_with("(0x8007048F) : ")) << run.stdout_bytes;
  EXPECT_TRUE(run.stdout_bytes.ends_with("\r\n"));
  EXPECT_EQ(run.stdout_bytes.find('\n'), run.stdout_bytes.size() - 1);  // one line
  EXPECT_EQ(run.exit_status, 0x8F);
  // The whole exit status, as Windows' own command interpreter sees it.
  test::ProcessRun in_cmd;
  in_cmd.argv = {kWindowsBuild + "/wine-run", "cmd", "/c",
                 "Z:" + kWindowsBuild + "/hx7300.exe -m:daa -r >NUL & echo %ERRORLEVEL%"};
  in_cmd.unset_environment = {"HX7300_DEVICE"};
  in_cmd.timeout = std::chrono::seconds(60);
  EXPECT_EQ(test::RunProcess(in_cmd).stdout_bytes, "-2147023729\r\n");  // 0x8007048F
}

class ImageUploadUnderWine : public ::testing::Test {
 protected:
  ImageUploadUnderWine() { std::filesystem::create_directories(dir_.Path() / "slots"); }

  // Uploads the main image and its signature with the passcode and the size confirmation
  // typed at a terminal; returns the standard output.
  std::string Upload(bool windows, const std::string& device) {
    PtySession session(Command(windows, {"-m:img", "-i:nk", FileArg(windows, "-f:", image_path_),
                                         FileArg(windows, "-s:", signature_path_)}),
                       {{"HX7300_DEVICE", device}}, false, PtySession::OutputTo::kPipe);
    EXPECT_TRUE(session.WaitForOutput("\r\nEnter passcode:", std::chrono::seconds(30)));
    // The prompt comes just before echo goes off; the console reads only what comes after.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    session.Type("1234\r");
    EXPECT_TRUE(session.WaitForOutput("any other key to abort)? ", std::chrono::seconds(30)));
    session.Type("Y\r");
    EXPECT_EQ(session.Finish(std::chrono::seconds(60)), 0);
    EXPECT_EQ(session.TerminalOutput().find("1234"), std::string::npos);  // never echoed
    return session.Output();
  }

  test::TempDir dir_;
  const std::vector<std::uint8_t> image_ = test::PatternBytes(std::size_t{3} * 4080 + 17, 5);
  const std::vector<std::uint8_t> signature_ = test::PatternBytes(300, 6);
  const std::filesystem::path image_path_ = dir_.Write("nk.bin", image_);
  const std::filesystem::path signature_path_ = dir_.Write("nk.cat", signature_);
};

TEST_F(ImageUploadUnderWine, SlotsComeOutByteForByteAndTheConsoleAsOnLinux) {
  const std::string slots = (dir_.Path() / "slots").string();
  std::string linux_output;
  {
    EmulatorProcess emulator(test::EmulatorBinary(), {"--state-dir", slots}, {},
                             EmulatorProcess::Transport::kTcp);
    ASSERT_TRUE(emulator.Started());
    linux_output = Upload(false, emulator.Address());
  }
  std::filesystem::remove_all(slots);
  std::filesystem::create_directories(slots);
  EmulatorProcess emulator(test::EmulatorBinary(), {"--state-dir", slots}, {},
                           EmulatorProcess::Transport::kTcp);
  ASSERT_TRUE(emulator.Started());
  const std::string windows_output = Upload(true, emulator.Address());
  EXPECT_EQ(windows_output, linux_output);
  EXPECT_NE(windows_output.find("Block 0004/0004 sent...\r\n"), std::string::npos);
  EXPECT_TRUE(windows_output.ends_with("Image Update completed.\r\n"));
  EXPECT_EQ(test::ReadBytes(dir_.Path() / "slots" / "SIG.CAT"), signature_);
  EXPECT_EQ(test::ReadBytes(dir_.Path() / "slots" / "NK.BIN"), image_);
}

TEST_F(ImageUploadUnderWine, ImageCutShortDuringTheTransferFailsItCleanly) {
  EmulatorProcess emulator(test::EmulatorBinary(), {"--fault", "latency-us=2000"}, {},
                           EmulatorProcess::Transport::kTcp);
  ASSERT_TRUE(emulator.Started());
  const auto config = dir_.Write("config.xml", test::PatternBytes(std::size_t{20} * 4080));
  PtySession session(Command(true, {"-m:img", "-i:config", FileArg(true, "-f:", config)}),
                     {{"HX7300_DEVICE", emulator.Address()}}, false, PtySession::OutputTo::kPipe);
  ASSERT_TRUE(session.WaitForOutput("\r\nEnter passcode:", std::chrono::seconds(30)));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  session.Type("1234\r");
  ASSERT_TRUE(session.WaitForOutput("Block 0001/0020 sent...\r\n", std::chrono::seconds(30)));
  // Linux does not honour Windows' share modes: the file can be cut under the transfer.
  std::filesystem::resize_file(config, 4080 + 10);
  // The transfer ends with the failure, not with an exception that ends the process.
  EXPECT_EQ(session.Finish(std::chrono::seconds(60)), 0xEE);
  EXPECT_NE(session.Output().find("(0x800703EE) : "), std::string::npos) << session.Output();
}

TEST_F(ImageUploadUnderWine, OverlongPasscodeIsRefusedAsOnLinux) {
  EmulatorProcess emulator(test::EmulatorBinary(), {}, {}, EmulatorProcess::Transport::kTcp);
  ASSERT_TRUE(emulator.Started());
  std::string outputs[2];
  int statuses[2] = {-1, -1};
  for (const bool windows : {false, true}) {
    PtySession session(
        Command(windows, {"-m:img", "-i:config", FileArg(windows, "-f:", image_path_)}),
        {{"HX7300_DEVICE", emulator.Address()}}, false, PtySession::OutputTo::kPipe);
    EXPECT_TRUE(session.WaitForOutput("\r\nEnter passcode:", std::chrono::seconds(30)));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // More than the 32 characters the console read takes at once: the rest of the line is
    // read and dropped too.
    session.Type(std::string(40, '7') + "\r");
    statuses[windows] = session.Finish(std::chrono::seconds(60));
    outputs[windows] = session.Output();
    EXPECT_EQ(session.TerminalOutput().find("777"), std::string::npos);
  }
  EXPECT_EQ(statuses[1], 0x57);
  EXPECT_EQ(statuses[1], statuses[0]);
  EXPECT_TRUE(outputs[1].starts_with("\r\nEnter passcode:\r\n(0x80070057) : ")) << outputs[1];
  EXPECT_TRUE(outputs[0].starts_with("\r\nEnter passcode:\r\n(0x80070057) : ")) << outputs[0];
}

}  // namespace
}  // namespace hx
