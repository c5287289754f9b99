// The state directory kept where others can write: nothing is ever written or read through a
// symbolic link planted in it, and what it creates is for its owner alone.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "platform/state_directory.h"
#include "support/temp_file.h"

namespace hx {
namespace {

namespace fs = std::filesystem;

mode_t PermissionsOf(const fs::path& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info.st_mode & 0777;
}

class StateDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(dir_.Open(state_.string()), S_OK);
    victim_ = outside_.Write("victim", {1, 2, 3});
  }

  void Write(std::string_view name, const std::vector<std::uint8_t>& bytes) {
    CStateFile file;
    ASSERT_EQ(dir_.Create(name, file), S_OK);
    ASSERT_EQ(file.Write(bytes), S_OK);
    ASSERT_EQ(file.Close(), S_OK);
  }

  test::TempDir parent_;
  test::TempDir outside_;
  const fs::path state_ = parent_.Path() / "a" / "state";
  CStateDirectory dir_;
  fs::path victim_;
};

TEST_F(StateDirectoryTest, WhatItCreatesIsForItsOwnerAlone) {
  EXPECT_EQ(PermissionsOf(state_), 0700u);
  EXPECT_EQ(PermissionsOf(state_.parent_path()), 0700u);
  Write("NK.TMP", {9});
  EXPECT_EQ(PermissionsOf(state_ / "NK.TMP"), 0600u);
}

TEST_F(StateDirectoryTest, ALinkWhereAFileIsCreatedIsReplacedNeverWrittenThrough) {
  fs::create_symlink(victim_, state_ / "NK.TMP");
  Write("NK.TMP", {7, 7});
  EXPECT_EQ(test::ReadBytes(victim_), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_FALSE(fs::is_symlink(state_ / "NK.TMP"));
  EXPECT_EQ(test::ReadBytes(state_ / "NK.TMP"), (std::vector<std::uint8_t>{7, 7}));

  // Replacing a slot that is a link replaces the link; its target stays as it was.
  fs::create_symlink(victim_, state_ / "NK.BIN");
  ASSERT_EQ(dir_.Replace("NK.TMP", "NK.BIN"), S_OK);
  EXPECT_FALSE(fs::is_symlink(state_ / "NK.BIN"));
  EXPECT_EQ(test::ReadBytes(victim_), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(StateDirectoryTest, ALinkIsNeverReadThroughAndADirectoryIsNeverRemoved) {
  fs::create_symlink(victim_, state_ / "PASSCODE");
  std::vector<std::uint8_t> read;
  EXPECT_EQ(dir_.Read("PASSCODE", read), static_cast<HRESULT>(0x80070781u));
  EXPECT_TRUE(read.empty());
  EXPECT_EQ(dir_.Read("absent", read), static_cast<HRESULT>(0x80070002u));
  EXPECT_EQ(dir_.Inspect("PASSCODE"), CStateDirectory::EntryKind::kLink);
  EXPECT_EQ(dir_.Inspect("absent"), CStateDirectory::EntryKind::kAbsent);

  fs::create_directory(state_ / "SIG.TMP");
  CStateFile file;
  EXPECT_EQ(dir_.Create("SIG.TMP", file), static_cast<HRESULT>(0x80070005u));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(dir_.Inspect("SIG.TMP"), CStateDirectory::EntryKind::kDirectory);
}

TEST_F(StateDirectoryTest, ARegularFileIsNotADirectory) {
  CStateDirectory other;
  EXPECT_EQ(other.Open(victim_.string()), static_cast<HRESULT>(0x8007010Bu));
  EXPECT_FALSE(other.IsOpen());
}

}  // namespace
}  // namespace hx
