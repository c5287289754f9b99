// POSIX lets another program change a file that is being read; the transfer must notice.
#include <gtest/gtest.h>

#include <filesystem>

#include "operations/image_update.h"
#include "protocol/image_slots.h"
#include "support/device_run.h"
#include "support/temp_file.h"

namespace hx {
namespace {

constexpr std::uint8_t kDataSelector = 7;

TEST(ImageFileChange, FileTruncatedOrRewrittenDuringTheTransferFailsTheBlock) {
  test::TempDir dir;
  test::DeviceRun run;
  run.Script().AcceptUnscriptedSets();

  const auto bytes = test::PatternBytes(std::size_t{3} * kBlockSize);
  const auto file = dir.Write("image.bin", bytes);
  CImageUpdate update;
  ASSERT_EQ(update.Initialize(&run.Device(), kConfigImageIndex, file.wstring().c_str()), S_OK);
  ASSERT_EQ(update.SendBlock(), S_OK);
  std::filesystem::resize_file(file, kBlockSize + 10);
  EXPECT_EQ(update.SendBlock(), static_cast<HRESULT>(0x800703EE));

  const auto second = dir.Write("second.bin", bytes);
  ASSERT_EQ(update.Initialize(&run.Device(), kConfigImageIndex, second.wstring().c_str()), S_OK);
  const std::size_t writes_before = run.Script().Log().size();
  auto changed = bytes;
  changed[0] ^= 0xFF;
  dir.Write("second.bin", changed);  // same size, new contents
  EXPECT_EQ(update.SendBlock(), static_cast<HRESULT>(0x800703EE));
  // The block's data went out, but its commit did not: the device keeps nothing of it.
  const auto log = run.Script().Log();
  EXPECT_EQ(log.size() - writes_before, 85u);
  EXPECT_EQ(log.back().selector, kDataSelector);
}

}  // namespace
}  // namespace hx
