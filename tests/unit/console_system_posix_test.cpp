// The POSIX console and errno translation, driven through real descriptors: files and pipes
// put in place of standard input and output.

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/system_console.h"
#include "platform/system_error.h"

namespace hx::platform {
namespace {

// Puts another descriptor in place of a standard one for the lifetime of the object.
class ScopedDescriptor {
 public:
  ScopedDescriptor(int standard, int replacement) : standard_(standard), saved_(::dup(standard)) {
    ::dup2(replacement, standard);
  }
  ~ScopedDescriptor() {
    ::dup2(saved_, standard_);
    ::close(saved_);
  }
  ScopedDescriptor(const ScopedDescriptor&) = delete;
  ScopedDescriptor& operator=(const ScopedDescriptor&) = delete;

 private:
  int standard_;
  int saved_;
};

// An unnamed temporary file holding the given bytes, positioned at its start.
int TemporaryFile(const std::string& contents) {
  std::FILE* file = std::tmpfile();
  std::fwrite(contents.data(), 1, contents.size(), file);
  std::fflush(file);
  const int descriptor = ::dup(::fileno(file));
  std::fclose(file);
  ::lseek(descriptor, 0, SEEK_SET);
  return descriptor;
}

std::string ReadWhole(int descriptor) {
  ::lseek(descriptor, 0, SEEK_SET);
  std::string contents;
  char block[256];
  for (ssize_t got; (got = ::read(descriptor, block, sizeof block)) > 0;) {
    contents.append(block, static_cast<std::size_t>(got));
  }
  return contents;
}

TEST(ErrnoTranslation, ErrnoValuesBecomeTheWindowsErrorsOfTheSameMeaning) {
  EXPECT_EQ(Win32ErrorFromErrno(ENOENT), 2u);
  EXPECT_EQ(Win32ErrorFromErrno(EPERM), 5u);
  EXPECT_EQ(Win32ErrorFromErrno(ENOTTY), 6u);
  EXPECT_EQ(Win32ErrorFromErrno(EEXIST), 183u);
  EXPECT_EQ(Win32ErrorFromErrno(ECONNREFUSED), 1167u);
  EXPECT_EQ(Win32ErrorFromErrno(EPIPE), 232u);
  EXPECT_EQ(Win32ErrorFromErrno(ENOSPC), 112u);
  EXPECT_EQ(Win32ErrorFromErrno(EFBIG), 223u);
  EXPECT_EQ(Win32ErrorFromErrno(EROFS), 19u);
  EXPECT_EQ(Win32ErrorFromErrno(EDOM), 31u);
  EXPECT_EQ(Win32ErrorFromErrno(0), 31u);
  EXPECT_EQ(HresultFromErrno(ETIMEDOUT), kHrTimeout);
  EXPECT_EQ(HresultFromErrno(EIO), static_cast<HRESULT>(0x8007045Du));
  EXPECT_EQ(HresultFromErrno(ENOMEM), E_OUTOFMEMORY);
}

TEST(SystemConsole, WritesReachStandardOutputAsBytes) {
  const int file = TemporaryFile("");
  {
    ScopedDescriptor redirected(STDOUT_FILENO, file);
    ConsoleIo& console = SystemConsole();
    // The tests run in the C locale, which has no form for these characters.
    console.WriteWide(L"caf\u00E9 \u20AC\r\n");
    console.WriteNarrow(std::string_view("\xE9\0x", 3));
    // Not a terminal: no cursor movement follows the line.
    console.WriteNarrowInPlace("Block 1\r\n");
    console.WriteNarrowInPlace("Block 2\r\n");
  }
  EXPECT_EQ(ReadWhole(file), std::string("caf? ?\r\n\xE9\0xBlock 1\r\nBlock 2\r\n", 29));
  ::close(file);
}

TEST(SystemConsole, ReadCharDropsACarriageReturnOnlyBeforeALineFeed) {
  const int file = TemporaryFile("a\r\nb\rc\r");
  std::string read;
  {
    ScopedDescriptor redirected(STDIN_FILENO, file);
    for (int ch; (ch = SystemConsole().ReadChar()) >= 0;) {
      read.push_back(static_cast<char>(ch));
    }
  }
  EXPECT_EQ(read, "a\nb\rc\r");
  ::close(file);
}

TEST(SystemConsole, HiddenLineFailsWhenStandardInputIsNotATerminal) {
  int pipe_ends[2];
  ASSERT_EQ(::pipe(pipe_ends), 0);
  ASSERT_EQ(::write(pipe_ends[1], "1234\n", 5), 5);
  ::close(pipe_ends[1]);
  std::array<wchar_t, 32> line{};
  std::size_t count = 99;
  HRESULT result = S_OK;
  {
    ScopedDescriptor redirected(STDIN_FILENO, pipe_ends[0]);
    result = SystemConsole().ReadHiddenLine(L"", line, count);
    // The typed line was not taken: it is still there for whoever reads next.
    EXPECT_EQ(SystemConsole().ReadChar(), '1');
    while (SystemConsole().ReadChar() >= 0) {
    }
  }
  EXPECT_EQ(result, static_cast<HRESULT>(0x80070006u));
  EXPECT_EQ(count, 0u);
  ::close(pipe_ends[0]);
}

}  // namespace
}  // namespace hx::platform
