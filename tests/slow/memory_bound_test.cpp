// hx7300-emulator keeps to bounded memory whatever it is sent: an update of an image larger
// than the bound goes through its staging file, and a 100 MB configuration file is checked a
// piece at a time, in under 5 s. Peak resident sizes (VmHWM) are measured, so the sanitizer
// presets, whose allocators keep freed memory, leave these out.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/http_test_server.h"
#include "support/net_image_lines.h"
#include "support/process_runner.h"
#include "support/programs.h"
#include "support/pty_session.h"
#include "support/temp_file.h"

namespace hx {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr long kMiB = 1024;  // in KiB

// Runs the utility at a terminal with the passcode typed; its exit status and output.
int RunAtTerminal(const test::EmulatorProcess& emulator, std::vector<std::string> argv,
                  std::string& output) {
  argv.insert(argv.begin(), test::HxBinary());
  test::PtySession session(argv, {{"HX7300_DEVICE", emulator.Address()}});
  EXPECT_TRUE(session.WaitForOutput("\r\nEnter passcode:"));
  EXPECT_TRUE(session.WaitForEcho(false));
  session.Type("1234\r");
  const int status = session.Finish(60s);
  output = session.Output();
  return status;
}

// The peak resident size of an emulator that has just started on an empty state directory.
long IdlePeakKib() {
  test::TempDir dir;
  test::EmulatorProcess idle(test::EmulatorBinary(), {"--state-dir", dir.Path().string()});
  EXPECT_TRUE(idle.Started());
  return test::MemoryKib(idle.Pid(), "VmHWM");
}

TEST(MemoryBound, AnUpdateOfAnImageLargerThanTheBoundStaysWithin64MiBOfIdle) {
  const std::string manifest = "NK.BIN nk.bin\n";
  test::HttpTestServer server({{"/m.txt", {manifest.begin(), manifest.end()}},
                               {"/nk.bin", test::PatternBytes(std::size_t{128} << 20, 9)}});
  ASSERT_TRUE(server.Started());
  test::TempDir dir;
  test::EmulatorProcess emulator(test::EmulatorBinary(),
                                 {"--state-dir", (dir.Path() / "slots").string()});
  ASSERT_TRUE(emulator.Started());
  const long idle = test::MemoryKib(emulator.Pid(), "VmHWM");
  std::string output;
  EXPECT_EQ(
      RunAtTerminal(
          emulator,
          {"-m:netimg", "-s:127.0.0.1", "-p:" + std::to_string(server.Port()), "-u:m.txt"}, output),
      0)
      << output;
  EXPECT_LT(test::MemoryKib(emulator.Pid(), "VmHWM") - idle, 64 * kMiB);
  EXPECT_EQ(std::filesystem::file_size(dir.Path() / "slots" / "NK.BIN"), std::size_t{128} << 20);
}

TEST(MemoryBound, A100MBConfigurationIsCheckedWithin16MiBAndFiveSeconds) {
  const long idle = IdlePeakKib();
  std::string rooms;
  for (int i = 0; rooms.size() < (std::size_t{100} << 20); ++i) {
    rooms += "  <room name=\"R" + std::to_string(i) + "\" seats=\"12\"/>\n";
  }
  const struct {
    const char* name;
    std::string document;
    std::string line;
  } cases[] = {
      {"many elements", "<config>\n" + rooms + "</config>\n",
       "Configuration validation succeeded.\r\n"},
      // A single token of 100 MB is more than the device's parser can hold.
      {"one long comment",
       "<config><!--" + std::string(std::size_t{100} << 20, 'x') + "--></config>",
       "Configuration parsing failed!  Error code = 0x800705B9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    dir.Write("QVCONFIG.XML", {c.document.begin(), c.document.end()});
    const auto started = Clock::now();
    test::EmulatorProcess emulator(test::EmulatorBinary(), {"--state-dir", dir.Path().string()});
    ASSERT_TRUE(emulator.Started());
    std::string output;
    RunAtTerminal(emulator, {"-m:cfg", "-q:cfgparseresult"}, output);
    EXPECT_LT(Clock::now() - started, 5s);
    EXPECT_NE(output.find(c.line), std::string::npos) << output;
    EXPECT_LT(test::MemoryKib(emulator.Pid(), "VmHWM") - idle, 16 * kMiB);
  }
}

}  // namespace
}  // namespace hx
