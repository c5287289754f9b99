// The network update as an administrator runs it at a terminal: hx7300 against hx7300-emulator
// keeping its slots as files, the emulator downloading from an HTTP server on 127.0.0.1.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/http_test_server.h"
#include "support/net_image_lines.h"
#include "support/process_runner.h"
#include "support/programs.h"
#include "support/pty_session.h"
#include "support/python_http_server.h"
#include "support/temp_file.h"

namespace hx {
namespace {

using test::Succeeded;

// On a terminal each progress line is followed by the return to its start.
const std::string kBack = "\x1b[1A\r";

const std::string kConfigured =
    "\r\nEnter passcode:\r\n" + Succeeded("Setting server information") +
    Succeeded("Setting URI information") + Succeeded("Setting port information") +
    Succeeded("Initializing image update") + Succeeded("Starting image update") +
    Succeeded("Building file manifest");

const std::string kUntilImages = "\r\nEnter passcode:\r\n" + test::LinesUntilDownload();

class NetImageUpdateEndToEnd : public ::testing::Test {
 protected:
  NetImageUpdateEndToEnd()
      : emulator_(test::EmulatorBinary(), {"--state-dir", (dir_.Path() / "slots").string()}) {
    std::filesystem::create_directories(dir_.Path() / "www" / "updates");
  }

  // Runs the utility on a terminal, typing the passcode; its exit status.
  int Update(std::uint16_t port, const std::string& url) {
    test::PtySession session(
        {test::HxBinary(), "-m:netimg", "-s:127.0.0.1", "-p:" + std::to_string(port), "-u:" + url},
        {{"HX7300_DEVICE", emulator_.Address()}});
    EXPECT_TRUE(session.WaitForOutput("\r\nEnter passcode:"));
    EXPECT_TRUE(session.WaitForEcho(false));
    session.Type("1234\r");
    const int status = session.Finish();
    EXPECT_TRUE(session.EchoOn());
    output_ = session.Output();
    return status;
  }

  void WriteText(const std::string& name, const std::string& text) {
    dir_.Write(name, {text.begin(), text.end()});
  }

  bool SlotExists(const char* name) const {
    return std::filesystem::exists(dir_.Path() / "slots" / name);
  }

  test::TempDir dir_;
  test::EmulatorProcess emulator_;
  std::string output_;
};

TEST_F(NetImageUpdateEndToEnd, ImagesFromAPythonServerLandByteForByte) {
  ASSERT_TRUE(emulator_.Started());
  const auto image = test::PatternBytes(2000000, 5);
  const auto signature = test::PatternBytes(1500, 6);
  const auto config = test::PatternBytes(3000, 7);
  dir_.Write("www/updates/nk.bin", image);
  dir_.Write("www/updates/nk.cat", signature);
  dir_.Write("www/config.xml", config);
  WriteText("www/updates/manifest.txt",
            "NK.BIN nk.bin\nSIG.CAT nk.cat\nQVCONFIG.XML /config.xml\n");
  test::PythonHttpServer server(dir_.Path() / "www");
  ASSERT_TRUE(server.Started());

  EXPECT_EQ(Update(server.Port(), "updates/manifest.txt"), 0);
  std::vector<int> percents;
  EXPECT_EQ(test::WithoutProgress(output_, kBack, percents),
            kUntilImages + test::LinesAfterDownload());
  ASSERT_FALSE(percents.empty());
  EXPECT_EQ(percents.back(), 100);
  EXPECT_EQ(test::ReadBytes(dir_.Path() / "slots" / "NK.BIN"), image);
  EXPECT_EQ(test::ReadBytes(dir_.Path() / "slots" / "SIG.CAT"), signature);
  EXPECT_EQ(test::ReadBytes(dir_.Path() / "slots" / "QVCONFIG.XML"), config);
}

TEST_F(NetImageUpdateEndToEnd, ServerThatCannotBeReachedFailsTheRequestStage) {
  ASSERT_TRUE(emulator_.Started());
  EXPECT_EQ(Update(test::UnusedTcpPort(), "manifest.txt"), 0xFD);
  EXPECT_EQ(output_, kConfigured +
                         "Sending request to server...FAILED!  Error = 0x80072EFD (0)\r\n"
                         "Image Update failed.\r\n");
}

TEST_F(NetImageUpdateEndToEnd, MissingImageFailsTheUpdateAndNoSlotChanges) {
  ASSERT_TRUE(emulator_.Started());
  dir_.Write("www/updates/nk.cat", test::PatternBytes(100));
  WriteText("www/updates/manifest.txt", "SIG.CAT nk.cat\nNK.BIN nk.bin\n");
  test::PythonHttpServer server(dir_.Path() / "www");
  ASSERT_TRUE(server.Started());

  EXPECT_EQ(Update(server.Port(), "/updates/manifest.txt"), 0x94);
  std::vector<int> percents;
  EXPECT_EQ(test::WithoutProgress(output_, kBack, percents),
            "\r\nEnter passcode:\r\n" + test::LinesUntilImages() +
                "Getting images...FAILED!  Error = 0x80190194 (0)\r\n"
                "Image Update failed.\r\n");
  EXPECT_FALSE(SlotExists("SIG.CAT"));
  EXPECT_FALSE(SlotExists("NK.BIN"));
}

TEST_F(NetImageUpdateEndToEnd, ServerClosingTheConnectionMidwayFailsTheUpdate) {
  ASSERT_TRUE(emulator_.Started());
  const std::string manifest = "NK.BIN nk.bin\n";
  test::HttpTestServer server({{"/manifest.txt", {manifest.begin(), manifest.end()}},
                               {"/nk.bin", test::PatternBytes(1000000)}});
  ASSERT_TRUE(server.Started());
  server.BreakMidway("/nk.bin");

  EXPECT_EQ(Update(server.Port(), "manifest.txt"), 0xFE);
  std::vector<int> percents;
  EXPECT_EQ(test::WithoutProgress(output_, kBack, percents),
            kUntilImages +
                "Getting images...FAILED!  Error = 0x80072EFE (0)\r\n"
                "Image Update failed.\r\n");
  EXPECT_FALSE(SlotExists("NK.BIN"));
  EXPECT_FALSE(SlotExists("NK.TMP"));
}

TEST(NetImageUpdateEmulatorOptions, HelpTellsThePaceTheFaultsAndWhatTheUpdateDownloads) {
  const test::ProcessResult help = test::RunProcess({.argv = {test::EmulatorBinary(), "--help"}});
  EXPECT_EQ(help.exit_status, 0);
  const std::string& text = help.stdout_bytes;
  const std::size_t faults = text.find("\nFaults (NAME[=VALUE] for --fault):\n");
  ASSERT_NE(faults, std::string::npos) << text;
  EXPECT_LT(text.find("\n  --net-update KEY=V[,KEY=V]\n"), faults);
  EXPECT_LT(text.find("\nNetwork update: the device downloads over HTTP/1.1"), faults);
  for (const char* name : {"\n  net-stage-status=STAGE:STATUS\n", "\n  net-stage-count=STAGE:N "}) {
    EXPECT_GT(text.find(name), faults) << name;
    EXPECT_NE(text.find(name), std::string::npos) << name;
  }
  const test::ProcessResult bad = test::RunProcess(
      {.argv = {test::EmulatorBinary(), "--listen", "unix:/tmp/x", "--net-update", "speed=1"}});
  EXPECT_EQ(bad.exit_status, 2);
  EXPECT_TRUE(
      bad.stderr_bytes.starts_with("hx7300-emulator: bad network update setting 'speed=1'\n"));
}

}  // namespace
}  // namespace hx
