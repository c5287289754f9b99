// The Win32 side of the platform layer, with standard input and output redirected to pipes
// where the console is concerned.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/auto_reset_event.h"
#include "platform/completion_queue.h"
#include "platform/file_view.h"
#include "platform/message_table.h"
#include "platform/system_console.h"
#include "platform/terminal_echo.h"

namespace hx {
namespace {

// A pipe standing in for one of the process's standard handles for the length of a test.
class RedirectedStandardHandle {
 public:
  explicit RedirectedStandardHandle(DWORD which) : which_(which), saved_(::GetStdHandle(which)) {
    EXPECT_TRUE(::CreatePipe(&read_end_, &write_end_, nullptr, 1 << 16));
    ::SetStdHandle(which_, which_ == STD_INPUT_HANDLE ? read_end_ : write_end_);
  }
  ~RedirectedStandardHandle() {
    ::SetStdHandle(which_, saved_);
    ::CloseHandle(read_end_);
    ::CloseHandle(write_end_);
  }
  RedirectedStandardHandle(const RedirectedStandardHandle&) = delete;
  RedirectedStandardHandle& operator=(const RedirectedStandardHandle&) = delete;

  void Feed(const std::string& bytes) {
    DWORD written = 0;
    ::WriteFile(write_end_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(write_end_);  // then the end of input
    write_end_ = nullptr;
  }
  std::string Drain() {
    DWORD available = 0;
    ::PeekNamedPipe(read_end_, nullptr, 0, nullptr, &available, nullptr);
    std::string bytes(available, '\0');
    DWORD got = 0;
    if (available > 0) {
      ::ReadFile(read_end_, bytes.data(), available, &got, nullptr);
    }
    bytes.resize(got);
    return bytes;
  }

 private:
  DWORD which_;
  HANDLE saved_;
  HANDLE read_end_ = nullptr;
  HANDLE write_end_ = nullptr;
};

TEST(ConsoleWin32, RedirectedOutputIsTheTextsOwnBytes) {
  RedirectedStandardHandle output(STD_OUTPUT_HANDLE);
  ConsoleIo& console = platform::SystemConsole();
  console.WriteWide(L"\r\nEnter passcode:\u00e9\r\n");
  console.WriteNarrow("Block 0001/0002 sent...\r\n");
  console.WriteNarrowInPlace("Block 0002/0002 sent...\r\n");
  // No "\r\r\n": the C runtime's text mode is never in the way; the wide text is in the ANSI
  // code page; a progress line written where there is no console simply follows.
  EXPECT_EQ(output.Drain(),
            "\r\nEnter passcode:\xe9\r\nBlock 0001/0002 sent...\r\nBlock 0002/0002 sent...\r\n");
}

TEST(ConsoleWin32, RedirectedInputGivesCharactersAndRefusesAHiddenRead) {
  RedirectedStandardHandle output(STD_OUTPUT_HANDLE);
  RedirectedStandardHandle input(STD_INPUT_HANDLE);
  input.Feed("Y\r\nno\n");
  ConsoleIo& console = platform::SystemConsole();
  EXPECT_EQ(console.ReadChar(), 'Y');
  EXPECT_EQ(console.ReadChar(), '\n');
  EXPECT_EQ(console.ReadChar(), 'n');
  std::wstring line(32, L'\0');
  std::size_t count = 99;
  // A passcode is never read from a pipe or a file: standard input is no console.
  EXPECT_EQ(console.ReadHiddenLine(L"\r\nEnter passcode:", line, count),
            static_cast<HRESULT>(0x80070006));
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(output.Drain(), "\r\nEnter passcode:");  // the prompt shows all the same
  platform::ScopedEchoOff echo_off;
  EXPECT_EQ(echo_off.Result(), static_cast<HRESULT>(0x80070006));
  EXPECT_EQ(echo_off.Restore(), S_OK);
  EXPECT_EQ(console.ReadChar(), 'o');
  EXPECT_EQ(console.ReadChar(), '\n');
  EXPECT_EQ(console.ReadChar(), -1);
}

TEST(FileViewWin32, OnlyAFileOnADiskIsOpened) {
  const std::wstring directory = std::filesystem::temp_directory_path().wstring();
  CReadOnlyFileView view;
  EXPECT_EQ(view.Open(directory.c_str()), static_cast<HRESULT>(0x80070005));
  // Refused by name, before anything connects to the pipe.
  EXPECT_EQ(view.Open(L"\\\\.\\pipe\\hx7300-no-such-pipe"), static_cast<HRESULT>(0x80070032));
  EXPECT_EQ(view.Open(L"NUL"), static_cast<HRESULT>(0x80070032));
  EXPECT_FALSE(view.IsOpen());
  EXPECT_EQ(view.Open(L"Z:\\no\\such\\file.bin"), static_cast<HRESULT>(0x80070003));
}

TEST(MessageTableWin32, SystemTextsEndInALineEndAndUnknownCodesHaveNone) {
  for (const std::uint32_t code : {0x00000000u, 0x80070002u, 0x80070057u, 0x8007048Fu}) {
    const auto text = platform::LookupMessageText(static_cast<HRESULT>(code));
    ASSERT_TRUE(text.has_value()) << std::hex << code;
    EXPECT_GT(text->size(), 2u);
    EXPECT_TRUE(text->ends_with(L"\r\n")) << std::hex << code;
  }
  EXPECT_FALSE(platform::LookupMessageText(static_cast<HRESULT>(0xDEADBEEFu)).has_value());
}

TEST(SynchronisationWin32, EventHoldsSignalsAsOneAndTheQueueKeepsOrder) {
  CAutoResetEvent event;
  ASSERT_EQ(event.Create(), S_OK);
  EXPECT_NE(event.NativeHandle(), nullptr);
  EXPECT_EQ(event.Wait(0).outcome, WaitOutcome::kTimedOut);
  event.Set();
  event.Set();
  EXPECT_EQ(event.Wait(0).outcome, WaitOutcome::kSignalled);
  EXPECT_EQ(event.Wait(10).outcome, WaitOutcome::kTimedOut);

  CCompletionQueue queue;
  EXPECT_EQ(queue.Post({0, nullptr}), static_cast<HRESULT>(0x80070006));
  ASSERT_EQ(queue.Create(), S_OK);
  int items[3] = {};
  for (int& item : items) {
    ASSERT_EQ(queue.Post({0, &item}), S_OK);
  }
  ASSERT_EQ(queue.Post({2, nullptr}), S_OK);
  for (int& item : items) {
    const Completion taken = queue.Take();
    EXPECT_EQ(taken.byte_count, 0u);
    EXPECT_EQ(taken.key, &item);
  }
  Completion last{};
  ASSERT_TRUE(queue.TryTake(last));
  EXPECT_EQ(last.byte_count, 2u);
  EXPECT_FALSE(queue.TryTake(last));
}

}  // namespace
}  // namespace hx
