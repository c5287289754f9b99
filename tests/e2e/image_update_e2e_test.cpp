// The USB image update as an administrator runs it at a terminal: the passcode typed with echo
// off, against hx7300-emulator keeping its slots as files.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>

#include "support/process_runner.h"
#include "support/programs.h"
#include "support/pty_session.h"
#include "support/temp_file.h"

namespace hx {
namespace {

class ImageUpdateEndToEnd : public ::testing::Test {
 protected:
  ImageUpdateEndToEnd()
      : emulator_(test::EmulatorBinary(), {"--state-dir", (dir_.Path() / "slots").string()}) {
    std::filesystem::create_directories(dir_.Path() / "slots");
  }

  test::TempDir dir_;
  test::EmulatorProcess emulator_;
};

TEST_F(ImageUpdateEndToEnd, MainImageAndSignatureLandByteForByte) {
  ASSERT_TRUE(emulator_.Started());
  const auto image = test::PatternBytes(10000, 5);
  const auto signature = test::PatternBytes(300, 6);
  const auto image_path = dir_.Write("nk.bin", image);
  const auto signature_path = dir_.Write("nk.cat", signature);
  test::PtySession session({test::HxBinary(), "-m:img", "-i:nk", "-f:" + image_path.string(),
                            "-s:" + signature_path.string()},
                           {{"HX7300_DEVICE", emulator_.Address()}});
  ASSERT_TRUE(session.WaitForOutput("\r\nEnter passcode:"));
  EXPECT_TRUE(session.WaitForEcho(false));
  session.Type("1234\r");
  // The image is checked before anything of its signature is sent.
  ASSERT_TRUE(session.WaitForOutput("any other key to abort)? "));
  EXPECT_TRUE(session.EchoOn());
  session.Type("Y\r");
  EXPECT_EQ(session.Finish(), 0);
  EXPECT_TRUE(session.EchoOn());
  // On a terminal each progress line is followed by the return to its start.
  const std::string back = "\x1b[1A\r";
  const std::string flushed = "\r\nFlushing file, do NOT power down the device!\r\n";
  EXPECT_EQ(session.Output(),
            "\r\nEnter passcode:\r\n"
            "You are attempting to update NK.BIN with a file of size 10000 bytes.\r\n"
            "Is this correct (Enter Y to confirm, any other key to abort)? Y\n"
            "Uploading signature file....\r\n"
            "Starting Image Update process...\r\n"
            "Block 0001/0001 sent...\r\n" +
                back + flushed +
                "Image Update completed.\r\n"
                "Starting Image Update process...\r\n"
                "Block 0001/0003 sent...\r\n" +
                back + "Block 0002/0003 sent...\r\n" + back + "Block 0003/0003 sent...\r\n" + back +
                flushed + "Image Update completed.\r\n");
  EXPECT_EQ(test::ReadBytes(dir_.Path() / "slots" / "SIG.CAT"), signature);
  EXPECT_EQ(test::ReadBytes(dir_.Path() / "slots" / "NK.BIN"), image);
}

TEST_F(ImageUpdateEndToEnd, RefusedImageLeavesTheDevicesSignatureAsItWas) {
  ASSERT_TRUE(emulator_.Started());
  const auto old_signature = test::PatternBytes(200, 8);
  dir_.Write("slots/SIG.CAT", old_signature);
  const auto signature_path = dir_.Write("nk.cat", test::PatternBytes(300, 6));
  const auto fifo = dir_.Path() / "nk.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::filesystem::path image;
    const char* answer;
    HRESULT result;
  } cases[] = {
      {dir_.Path() / "absent.bin", nullptr, static_cast<HRESULT>(0x80070002)},
      {dir_.Path() / "slots", nullptr, static_cast<HRESULT>(0x80070005)},
      {fifo, nullptr, static_cast<HRESULT>(0x80070032)},
      {dir_.Write("small.bin", test::PatternBytes(5000)), "n\r", E_FAIL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.image.string());
    test::PtySession session({test::HxBinary(), "-m:img", "-i:nk", "-f:" + c.image.string(),
                              "-s:" + signature_path.string()},
                             {{"HX7300_DEVICE", emulator_.Address()}});
    ASSERT_TRUE(session.WaitForOutput("\r\nEnter passcode:"));
    EXPECT_TRUE(session.WaitForEcho(false));
    session.Type("1234\r");
    if (c.answer != nullptr) {
      ASSERT_TRUE(session.WaitForOutput("any other key to abort)? "));
      session.Type(c.answer);
    }
    EXPECT_EQ(session.Finish(std::chrono::seconds(5)), c.result & 0xFF);
    EXPECT_TRUE(session.Output().ends_with(test::ReportLine(c.result))) << session.Output();
    EXPECT_EQ(test::ReadBytes(dir_.Path() / "slots" / "SIG.CAT"), old_signature);
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "slots" / "SIG.TMP"));
  }
}

TEST_F(ImageUpdateEndToEnd, PasscodeTypedTheMomentThePromptIsDueIsNeverShown) {
  ASSERT_TRUE(emulator_.Started());
  const auto image_path = dir_.Write("config.xml", test::PatternBytes(100));
  // Output is held back (Ctrl+S) from the start, so the program is caught at the write of its
  // prompt: echo must be off already, and what is typed ahead of the prompt must not show.
  test::PtySession session({test::HxBinary(), "-m:img", "-i:config", "-f:" + image_path.string()},
                           {{"HX7300_DEVICE", emulator_.Address()}}, /*output_stopped=*/true);
  EXPECT_TRUE(session.WaitForEcho(false));
  session.Type("1234\r");
  session.ResumeOutput();
  EXPECT_EQ(session.Finish(), 0);
  EXPECT_TRUE(session.EchoOn());
  EXPECT_TRUE(
      session.Output().starts_with("\r\nEnter passcode:\r\n"
                                   "Starting Image Update process...\r\n"))
      << session.Output();
  EXPECT_EQ(session.Output().find("1234"), std::string::npos);
  EXPECT_EQ(test::ReadBytes(dir_.Path() / "slots" / "QVCONFIG.XML"), test::PatternBytes(100));
}

TEST_F(ImageUpdateEndToEnd, InterruptAtThePasscodePromptGivesTheTerminalItsEchoBack) {
  ASSERT_TRUE(emulator_.Started());
  const auto image_path = dir_.Write("config.xml", test::PatternBytes(100));
  test::PtySession session({test::HxBinary(), "-m:img", "-i:config", "-f:" + image_path.string()},
                           {{"HX7300_DEVICE", emulator_.Address()}});
  ASSERT_TRUE(session.WaitForOutput("\r\nEnter passcode:"));
  EXPECT_TRUE(session.WaitForEcho(false));
  session.Type("12\x03");
  EXPECT_EQ(session.Finish(), 128 + SIGINT);
  EXPECT_TRUE(session.EchoOn());
  EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "slots" / "QVCONFIG.XML"));
}

TEST_F(ImageUpdateEndToEnd, PasscodeCannotBeReadFromAPipe) {
  ASSERT_TRUE(emulator_.Started());
  const auto image_path = dir_.Write("config.xml", test::PatternBytes(100));
  test::ProcessRun run;
  run.argv = {test::HxBinary(), "-m:img", "-i:config", "-f:" + image_path.string()};
  run.set_environment["HX7300_DEVICE"] = emulator_.Address();
  run.stdin_bytes = "1234\n";
  const test::ProcessResult result = test::RunProcess(run);
  EXPECT_EQ(result.stdout_bytes,
            "\r\nEnter passcode:\r\n" + test::ReportLine(static_cast<HRESULT>(0x80070006)));
  EXPECT_EQ(result.exit_status, 0x06);
}

}  // namespace
}  // namespace hx
