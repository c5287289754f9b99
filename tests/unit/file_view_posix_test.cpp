// What an image file name may lead to besides a regular file: each is refused at once with a
// result that says what is wrong, and nothing is opened in a way that can block.

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <string>

#include "platform/file_view.h"
#include "platform/system_error.h"
#include "support/debug_output_file.h"
#include "support/temp_file.h"

namespace hx {
namespace {

constexpr HRESULT kNotSupported = static_cast<HRESULT>(0x80070032u);

HRESULT OpenView(const std::filesystem::path& path) {
  CReadOnlyFileView view;
  return view.Open(path.wstring().c_str());
}

TEST(FileViewOpen, FifoWithoutAWriterIsRefusedAtOnce) {
  test::TempDir dir;
  const auto fifo = dir.Path() / "image.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto opened = std::async(std::launch::async, [&] { return OpenView(fifo); });
  const bool answered = opened.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
  if (!answered) {
    // Let the blocked open go, so that the test can end and report.
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    opened.wait();
    ::close(writer);
  }
  EXPECT_TRUE(answered) << "the open waited for a writer";
  EXPECT_EQ(opened.get(), kNotSupported);
}

TEST(FileViewOpen, DevicesAndSocketsAreNotFilesToSend) {
  test::DebugOutputFile debug;
  EXPECT_EQ(OpenView("/dev/null"), kNotSupported);

  test::TempDir dir;
  const auto socket_path = dir.Path() / "image.sock";
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socket_path.c_str(), sizeof(address.sun_path) - 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  EXPECT_EQ(OpenView(socket_path), kNotSupported);
  ::close(listener);
  EXPECT_EQ(debug.Contents(),
            "CReadOnlyFileView::Open: /dev/null is a device\n"
            "CReadOnlyFileView::Open: " +
                socket_path.string() + " is a socket\n");
}

TEST(FileViewOpen, DirectoryIsAccessDeniedAndTheDebugOutputSaysWhy) {
  test::DebugOutputFile debug;
  test::TempDir dir;
  EXPECT_EQ(OpenView(dir.Path()), static_cast<HRESULT>(0x80070005u));
  EXPECT_EQ(debug.Contents(),
            "CReadOnlyFileView::Open: " + dir.Path().string() + " is a directory\n");
}

TEST(FileViewOpen, NamesTheSystemCannotResolveGiveTheWindowsErrorsForThem) {
  test::TempDir dir;
  EXPECT_EQ(OpenView(dir.Path() / std::string(300, 'n')), static_cast<HRESULT>(0x800700CEu));
  std::filesystem::create_symlink("loop", dir.Path() / "loop");
  EXPECT_EQ(OpenView(dir.Path() / "loop"), static_cast<HRESULT>(0x80070781u));
  EXPECT_EQ(OpenView(dir.Path() / "absent"), static_cast<HRESULT>(0x80070002u));
}

TEST(FileViewOpen, RegularFileBehindALinkIsViewedWhole) {
  test::TempDir dir;
  const auto target = dir.Write("image.bin", {1, 2, 3});
  std::filesystem::create_symlink(target, dir.Path() / "link.bin");
  CReadOnlyFileView view;
  ASSERT_EQ(view.Open((dir.Path() / "link.bin").wstring().c_str()), S_OK);
  std::uint64_t size = 0;
  EXPECT_EQ(view.QuerySize(size), S_OK);
  EXPECT_EQ(size, 3u);
}

}  // namespace
}  // namespace hx
