// The state directory on Windows: files made, read, replaced and removed inside it, links
// never followed, and a directory or file where it does not belong refused.
#include "platform/state_directory.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_file.h"

namespace hx {
namespace {

namespace fs = std::filesystem;

class StateDirectoryWin32 : public ::testing::Test {
 protected:
  StateDirectoryWin32() { EXPECT_EQ(dir_.Open(state_.string()), S_OK); }

  void WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    CStateFile file;
    ASSERT_EQ(dir_.Create(name, file), S_OK);
    ASSERT_EQ(file.Write(bytes), S_OK);
    ASSERT_EQ(file.Close(), S_OK);
  }

  test::TempDir temp_;
  fs::path state_ = temp_.Path() / "made" / "state";  // missing parents are made too
  CStateDirectory dir_;
};

TEST_F(StateDirectoryWin32, FilesAreWrittenReadAndReplacedInOneStep) {
  EXPECT_TRUE(fs::is_directory(state_));
  WriteFile("NK.TMP", {7, 7, 7});
  WriteFile("NK.BIN", {1});
  ASSERT_EQ(dir_.Replace("NK.TMP", "NK.BIN"), S_OK);
  std::vector<std::uint8_t> read;
  EXPECT_EQ(dir_.Read("NK.BIN", read), S_OK);
  EXPECT_EQ(read, (std::vector<std::uint8_t>{7, 7, 7}));
  EXPECT_EQ(dir_.Inspect("NK.TMP"), CStateDirectory::EntryKind::kAbsent);
  EXPECT_EQ(dir_.Inspect("NK.BIN"), CStateDirectory::EntryKind::kFile);
  // Created afresh: what was there before is gone, not appended to.
  WriteFile("NK.BIN", {2});
  EXPECT_EQ(test::ReadBytes(state_ / "NK.BIN"), (std::vector<std::uint8_t>{2}));
  EXPECT_EQ(dir_.Remove("NK.BIN"), S_OK);
  EXPECT_EQ(dir_.Remove("NK.BIN"), S_OK);  // an absent name is no failure
  EXPECT_EQ(dir_.Read("NK.BIN", read), static_cast<HRESULT>(0x80070002u));
}

TEST_F(StateDirectoryWin32, ADirectoryIsNeverWrittenOrReadAsAFile) {
  fs::create_directory(state_ / "SIG.TMP");
  CStateFile file;
  EXPECT_EQ(dir_.Create("SIG.TMP", file), static_cast<HRESULT>(0x80070005u));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(dir_.Inspect("SIG.TMP"), CStateDirectory::EntryKind::kDirectory);
  std::vector<std::uint8_t> read;
  EXPECT_EQ(dir_.Read("SIG.TMP", read), static_cast<HRESULT>(0x80070032u));
  EXPECT_TRUE(fs::is_directory(state_ / "SIG.TMP"));
}

TEST_F(StateDirectoryWin32, ARegularFileIsNotADirectory) {
  const auto file = temp_.Write("plain.txt", {1});
  CStateDirectory other;
  EXPECT_EQ(other.Open(file.string()), static_cast<HRESULT>(0x8007010Bu));
  EXPECT_FALSE(other.IsOpen());
}

}  // namespace
}  // namespace hx
