// The Windows build's network update under Wine, at a terminal: hx7300.exe against the Linux
// hx7300-emulator over TCP, the emulator downloading from an HTTP server on 127.0.0.1; and the
// Linux hx7300 against hx7300-emulator.exe, which downloads with the system's WinHTTP.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
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

using namespace std::chrono_literals;

const std::string kWindowsBuild = HX7300_WINDOWS_BUILD_DIR;

class NetImageUpdateUnderWine : public ::testing::Test {
 protected:
  NetImageUpdateUnderWine() { std::filesystem::create_directories(dir_.Path() / "www"); }

  // The slots of the runs that the Windows build took part in, or of the others.
  std::filesystem::path Slots(bool windows) const {
    return dir_.Path() / (windows ? "slots-windows" : "slots-linux");
  }

  // One build's update, the passcode typed at a terminal, against an emulator of its own (the
  // Linux one, or hx7300-emulator.exe under Wine); the exit status. The output goes to a pipe,
  // where the progress lines follow one another.
  int Update(bool windows, std::uint16_t port, const std::string& url,
             bool windows_device = false) {
    const std::filesystem::path slots = Slots(windows || windows_device);
    test::EmulatorProcess emulator(
        windows_device ? kWindowsBuild + "/hx7300-emulator.exe" : test::EmulatorBinary(),
        {"--state-dir", (windows_device ? "Z:" : "") + slots.string()}, {},
        test::EmulatorProcess::Transport::kTcp, windows_device ? kWindowsBuild + "/wine-run" : "");
    EXPECT_TRUE(emulator.Started());
    std::vector<std::string> argv = {test::HxBinary()};
    if (windows) {
      argv = {kWindowsBuild + "/wine-run", kWindowsBuild + "/hx7300.exe"};
    }
    for (const std::string& arg : {std::string("-m:netimg"), std::string("-s:127.0.0.1"),
                                   "-p:" + std::to_string(port), "-u:" + url}) {
      argv.push_back(arg);
    }
    test::PtySession session(argv, {{"HX7300_DEVICE", emulator.Address()}}, false,
                             test::PtySession::OutputTo::kPipe);
    EXPECT_TRUE(session.WaitForOutput("\r\nEnter passcode:", 30s));
    // The prompt comes just before echo goes off; the console reads only what comes after.
    std::this_thread::sleep_for(500ms);
    session.Type("1234\r");
    const int status = session.Finish(60s);
    percents_.clear();
    output_ = test::WithoutProgress(session.Output(), "", percents_);
    return status;
  }

  test::TempDir dir_;
  std::string output_;
  std::vector<int> percents_;
};

TEST_F(NetImageUpdateUnderWine, ImagesLandByteForByteAndTheConsoleIsTheLinuxBuilds) {
  // An image larger than one read of either HTTP client, in a folder of the server's.
  const auto image = test::PatternBytes(3000000, 5);
  const auto signature = test::PatternBytes(1500, 6);
  std::filesystem::create_directories(dir_.Path() / "www/updates");
  dir_.Write("www/updates/nk.bin", image);
  dir_.Write("www/nk.cat", signature);
  const std::string manifest = "SIG.CAT nk.cat\r\nNK.BIN updates/nk.bin\r\n";
  dir_.Write("www/manifest.txt", {manifest.begin(), manifest.end()});
  test::PythonHttpServer server(dir_.Path() / "www");
  ASSERT_TRUE(server.Started());

  ASSERT_EQ(Update(false, server.Port(), "manifest.txt"), 0);
  const std::string linux_output = output_;
  EXPECT_EQ(linux_output,
            "\r\nEnter passcode:\r\n" + test::LinesUntilDownload() + test::LinesAfterDownload());
  EXPECT_EQ(test::ReadBytes(Slots(false) / "NK.BIN"), image);
  // hx7300.exe against the Linux emulator, then the Linux hx7300 against hx7300-emulator.exe.
  for (const bool windows_device : {false, true}) {
    SCOPED_TRACE(windows_device ? "hx7300-emulator.exe" : "hx7300.exe");
    std::filesystem::remove_all(Slots(true));
    EXPECT_EQ(Update(!windows_device, server.Port(), "manifest.txt", windows_device), 0);
    EXPECT_EQ(output_, linux_output);
    ASSERT_FALSE(percents_.empty());
    EXPECT_EQ(percents_.back(), 100);
    EXPECT_EQ(test::ReadBytes(Slots(true) / "NK.BIN"), image);
    EXPECT_EQ(test::ReadBytes(Slots(true) / "SIG.CAT"), signature);
  }
}

TEST_F(NetImageUpdateUnderWine, ServerFailuresEndTheRunWithTheFailingStagesStatus) {
  const std::string manifest = "NK.BIN nk.bin\n";
  test::HttpTestServer broken({{"/manifest.txt", {manifest.begin(), manifest.end()}},
                               {"/nk.bin", test::PatternBytes(400000)}});
  ASSERT_TRUE(broken.Started());
  broken.BreakMidway("/nk.bin");
  dir_.Write("www/manifest.txt", {manifest.begin(), manifest.end()});
  test::PythonHttpServer missing(dir_.Path() / "www");
  ASSERT_TRUE(missing.Started());
  const std::string until_images = "\r\nEnter passcode:\r\n" + test::LinesUntilImages();
  struct Case {
    std::uint16_t port;
    int status;
    std::string output;
  } cases[] = {
      {test::UnusedTcpPort(), 0xFD,
       until_images.substr(0, until_images.find("Sending")) +
           "Sending request to server...FAILED!  Error = 0x80072EFD (0)\r\n"},
      {missing.Port(), 0x94, until_images + "Getting images...FAILED!  Error = 0x80190194 (0)\r\n"},
      {broken.Port(), 0xFE,
       until_images + test::Succeeded("Getting images") +
           "Getting images...FAILED!  Error = 0x80072EFE (0)\r\n"},
  };
  // hx7300.exe against the Linux emulator, then the Linux hx7300 against hx7300-emulator.exe.
  for (const bool windows_device : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.status << (windows_device ? " device" : " utility"));
      EXPECT_EQ(Update(!windows_device, c.port, "manifest.txt", windows_device), c.status);
      EXPECT_EQ(output_, c.output + "Image Update failed.\r\n");
      EXPECT_FALSE(std::filesystem::exists(Slots(true) / "NK.BIN"));
    }
  }
}

}  // namespace
}  // namespace hx
