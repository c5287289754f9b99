// A network update changes every slot or none: hx7300-emulator killed (SIGKILL) at each step of
// committing an update's images, and an update whose images do not fit the disk, leave slots
// that are all old or all new, byte for byte, once the emulator has started again.

#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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
namespace fs = std::filesystem;

const std::string kManifest = "SIG.CAT sig.cat\nNK.BIN nk.bin\n";

class NetUpdateCommitTest : public ::testing::Test {
 protected:
  NetUpdateCommitTest()
      : server_({{"/m.txt", {kManifest.begin(), kManifest.end()}},
                 {"/sig.cat", new_signature_},
                 {"/nk.bin", new_image_}}) {
    fs::create_directories(slots_);
  }

  void WriteOldSlots() {
    dir_.Write("slots/SIG.CAT", old_signature_);
    dir_.Write("slots/NK.BIN", old_image_);
  }

  // Starts the update from the utility at a terminal, the passcode typed.
  std::unique_ptr<test::PtySession> StartUpdate(const test::EmulatorProcess& emulator) {
    auto session = std::make_unique<test::PtySession>(
        std::vector<std::string>{test::HxBinary(), "-m:netimg", "-s:127.0.0.1",
                                 "-p:" + std::to_string(server_.Port()), "-u:m.txt"},
        std::vector<std::pair<std::string, std::string>>{{"HX7300_DEVICE", emulator.Address()}});
    EXPECT_TRUE(session->WaitForOutput("\r\nEnter passcode:"));
    EXPECT_TRUE(session->WaitForEcho(false));
    session->Type("1234\r");
    return session;
  }

  // Both slots old, or both new, and nothing staged or recorded left beside them.
  void ExpectSlots(bool updated) {
    EXPECT_EQ(test::ReadBytes(slots_ / "SIG.CAT"), updated ? new_signature_ : old_signature_);
    EXPECT_EQ(test::ReadBytes(slots_ / "NK.BIN"), updated ? new_image_ : old_image_);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(slots_)) {
      left.push_back(entry.path().filename().string());
    }
    std::ranges::sort(left);
    EXPECT_EQ(left, (std::vector<std::string>{"NK.BIN", "SIG.CAT"}));
  }

  // The emulator started again on the same state directory, and stopped.
  void Restart() {
    test::EmulatorProcess restarted(test::EmulatorBinary(), {"--state-dir", slots_.string()});
    EXPECT_TRUE(restarted.Started());
    EXPECT_EQ(restarted.Stop(), 0);
  }

  test::TempDir dir_;
  const fs::path slots_ = dir_.Path() / "slots";
  const std::vector<std::uint8_t> old_signature_ = test::PatternBytes(1000, 1);
  const std::vector<std::uint8_t> old_image_ = test::PatternBytes(300000, 2);
  const std::vector<std::uint8_t> new_signature_ = test::PatternBytes(2000, 3);
  const std::vector<std::uint8_t> new_image_ = test::PatternBytes(2000000, 4);
  test::HttpTestServer server_;
};

TEST_F(NetUpdateCommitTest, AKillAtAnyStepOfTheCommitLeavesEverySlotOldOrEveryOneNew) {
  ASSERT_TRUE(server_.Started());
  const struct {
    const char* step;
    bool updated;  // once the emulator has started again
  } cases[] = {
      {"before-record", false},
      {"after-record", true},
      {"between-renames", true},
      {"after-renames", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.step);
    WriteOldSlots();
    test::EmulatorProcess emulator(
        test::EmulatorBinary(),
        {"--state-dir", slots_.string(), "--fault", std::string("commit-pause=") + c.step});
    ASSERT_TRUE(emulator.Started());
    const auto session = StartUpdate(emulator);
    ASSERT_TRUE(emulator.WaitForError(std::string("commit-pause: stopped at ") + c.step, 20s));
    ASSERT_EQ(::kill(emulator.Pid(), SIGKILL), 0);
    EXPECT_EQ(emulator.Stop(), -1);
    session->Finish();
    Restart();
    ExpectSlots(c.updated);
  }
}

// A tiny tmpfs as the state directory where this process may mount one (as root), otherwise
// the fault that fails staging writes as a full disk does.
class SmallDisk {
 public:
  explicit SmallDisk(const fs::path& where) : where_(where) {
    mounted_ =
        ::geteuid() == 0 && ::mount("tmpfs", where.c_str(), "tmpfs", 0, "size=1m,mode=0700") == 0;
  }
  ~SmallDisk() {
    if (mounted_) {
      ::umount2(where_.c_str(), MNT_DETACH);
    }
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  std::vector<std::string> Faults() const {
    return mounted_ ? std::vector<std::string>{}
                    : std::vector<std::string>{"--fault", "staging-space=700000"};
  }

 private:
  fs::path where_;
  bool mounted_ = false;
};

TEST_F(NetUpdateCommitTest, ImagesThatDoNotFitTheDiskFailTheNandWriteAndChangeNoSlot) {
  ASSERT_TRUE(server_.Started());
  const SmallDisk disk(slots_);
  WriteOldSlots();
  std::vector<std::string> args = {"--state-dir", slots_.string()};
  const std::vector<std::string> faults = disk.Faults();
  args.insert(args.end(), faults.begin(), faults.end());
  test::EmulatorProcess emulator(test::EmulatorBinary(), args);
  ASSERT_TRUE(emulator.Started());
  const auto session = StartUpdate(emulator);
  EXPECT_EQ(session->Finish(), 0x1D);
  std::vector<int> percents;
  EXPECT_EQ(test::WithoutProgress(session->Output(), "\x1b[1A\r", percents),
            "\r\nEnter passcode:\r\n" + test::LinesUntilDownload() +
                "NAND write...FAILED!  Error = 0x8007001D (0)\r\nImage Update failed.\r\n");
  ExpectSlots(false);
  EXPECT_EQ(emulator.Stop(), 0);
  Restart();
  ExpectSlots(false);
}

}  // namespace
}  // namespace hx
