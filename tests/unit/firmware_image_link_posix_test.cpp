// Symbolic links planted in the state directory, as another user of a shared place could plant
// them; making them takes POSIX.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "protocol/image_slots.h"
#include "support/firmware_host.h"
#include "support/temp_file.h"

namespace hx::emu {
namespace {

using test::FirmwareHost;
using test::PatternBytes;

TEST(FirmwareImage, ALinkPlantedWhereAnImageIsStagedIsNotWrittenThrough) {
  test::TempDir dir;
  test::TempDir outside;
  const auto victim = outside.Write("victim", {1, 2, 3});
  FirmwareHost host(FirmwareOptions{.state_dir = dir.Path().string()});
  // Planted while the device runs, as another user of a shared directory could.
  std::filesystem::create_symlink(victim, dir.Path() / "QVCONFIG.TMP");
  std::filesystem::create_symlink(victim, dir.Path() / "QVCONFIG.XML");
  const auto image = PatternBytes(kBlockSize + 1, 6);
  EXPECT_EQ(host.Upload(kConfigImageIndex, image).back().Status(), 0);
  EXPECT_EQ(test::ReadBytes(victim), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_FALSE(std::filesystem::is_symlink(dir.Path() / "QVCONFIG.XML"));
  EXPECT_EQ(test::ReadBytes(dir.Path() / "QVCONFIG.XML"), image);
}

}  // namespace
}  // namespace hx::emu
