// On Windows the image file is shared for reading only while it is sent: nobody can change it
// under the transfer, which therefore sends the bytes it announced.
#include <windows.h>

#include <gtest/gtest.h>

#include "operations/image_update.h"
#include "protocol/image_slots.h"
#include "support/device_run.h"
#include "support/temp_file.h"

namespace hx {
namespace {

TEST(ImageFileWin32, FileCannotBeWrittenOrTruncatedWhileItIsSent) {
  test::TempDir dir;
  test::DeviceRun run;
  run.Script().AcceptUnscriptedSets();

  const auto bytes = test::PatternBytes(std::size_t{2} * kBlockSize);
  const auto file = dir.Write("image.bin", bytes);
  CImageUpdate update;
  ASSERT_EQ(update.Initialize(&run.Device(), kConfigImageIndex, file.wstring().c_str()), S_OK);
  ASSERT_EQ(update.SendBlock(), S_OK);

  const HANDLE writer =
      ::CreateFileW(file.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

  ASSERT_EQ(update.SendBlock(), S_OK);
  ASSERT_TRUE(update.FileDrained());
  // Another reader is welcome.
  const HANDLE reader = ::CreateFileW(file.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  ::CloseHandle(reader);
  update.Uninitialize();
  // Released with the transfer.
  const HANDLE after = ::CreateFileW(file.wstring().c_str(), GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(after, INVALID_HANDLE_VALUE);
  ::CloseHandle(after);
}

}  // namespace
}  // namespace hx
