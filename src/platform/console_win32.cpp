// The process's console on Windows. Wide text goes to a console through WriteConsoleW, so every
// character shows as it is; to a file or pipe it goes as bytes in the system ANSI code page,
// written with WriteFile and never through the C runtime, whose text mode would turn "\r\n"
// into "\r\r\n". 8-bit text is written as its bytes either way.
#include <windows.h>

#include <array>
#include <atomic>

#include "platform/byte_output.h"
#include "platform/secure_wipe.h"
#include "platform/system_console.h"
#include "platform/terminal_echo.h"
#include "platform/win32/handle_output.h"

namespace hx::platform {
namespace {

constexpr char kConsoleEndOfInput = '\x1A';  // Ctrl+Z

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return ::GetConsoleMode(handle, &mode) != 0;
}

HANDLE StandardOutput() {
  return ::GetStdHandle(STD_OUTPUT_HANDLE);
}

HRESULT WriteConsoleText(HANDLE handle, std::wstring_view text) {
  while (!text.empty()) {
    DWORD written = 0;
    if (!::WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
      return HresultFromError(::GetLastError());
    }
    text.remove_prefix(written);
  }
  return S_OK;
}

// Standard input, read in blocks as the C runtime reads it. The end of input is not
// remembered: at a console the operator may type more after Ctrl+Z.
class StdinBuffer {
 public:
  int Next() {
    if (position_ == filled_ && !Refill()) {
      return -1;
    }
    const char byte = bytes_[position_++];
    if (byte == kConsoleEndOfInput && from_console_) {
      position_ = filled_;
      return -1;
    }
    return static_cast<unsigned char>(byte);
  }

  int Peek() {
    if (position_ == filled_ && !Refill()) {
      return -1;
    }
    return static_cast<unsigned char>(bytes_[position_]);
  }

 private:
  bool Refill() {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD got = 0;
    if (!::ReadFile(input, bytes_.data(), static_cast<DWORD>(bytes_.size()), &got, nullptr) ||
        got == 0) {
      return false;
    }
    from_console_ = IsConsole(input);
    position_ = 0;
    filled_ = got;
    return true;
  }

  std::array<char, 4096> bytes_{};
  std::size_t position_ = 0;
  std::size_t filled_ = 0;
  bool from_console_ = false;
};

// Reads and drops what is left of a typed line, so that the rest of an over-long passcode is
// neither read by the next prompt nor left for the shell to run as a command.
HRESULT DropRestOfLine(HANDLE input) {
  std::array<wchar_t, 64> rest{};
  HRESULT hr = S_OK;
  for (;;) {
    DWORD got = 0;
    if (!::ReadConsoleW(input, rest.data(), static_cast<DWORD>(rest.size()), &got, nullptr)) {
      hr = HresultFromError(::GetLastError());
      break;
    }
    if (got == 0 || rest[got - 1] == L'\n') {
      break;
    }
  }
  SecureWipe(std::span(rest));
  return hr;
}

class Win32Console final : public ConsoleIo {
 public:
  void WriteWide(std::wstring_view text) override {
    const HANDLE output = StandardOutput();
    NoteFailure(IsConsole(output) ? WriteConsoleText(output, text)
                                  : WriteAllToHandle(output, NarrowWithLocale(text)));
  }

  void WriteNarrow(std::string_view text) override {
    NoteFailure(WriteAllToHandle(StandardOutput(), text));
  }

  HRESULT OutputFailure() const override { return output_failure_.load(); }

  void WriteErrorLine(std::wstring_view text) override {
    const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    const std::wstring line = std::wstring(text).append(L"\r\n");
    if (IsConsole(error)) {
      WriteConsoleText(error, line);
    } else {
      WriteAllToHandle(error, NarrowWithLocale(line));
    }
  }

  void WriteNarrowInPlace(std::string_view line) override {
    const HANDLE output = StandardOutput();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(output, &info)) {
      WriteNarrow(line);
      return;
    }
    WriteNarrow(line);
    ::SetConsoleCursorPosition(output, info.dwCursorPosition);
  }

  int ReadChar() override {
    const int ch = input_.Next();
    if (ch == '\r' && input_.Peek() == '\n') {
      return input_.Next();
    }
    return ch;
  }

  HRESULT ReadHiddenLine(std::wstring_view prompt, std::span<wchar_t> dest,
                         std::size_t& count) override {
    count = 0;
    // Echo goes off before the prompt shows, so that nothing typed after it is ever echoed.
    ScopedEchoOff echo_off;
    WriteWide(prompt);
    if (FAILED(echo_off.Result())) {
      return echo_off.Result();
    }
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD got = 0;
    HRESULT read = S_OK;
    if (!::ReadConsoleW(input, dest.data(), static_cast<DWORD>(dest.size()), &got, nullptr)) {
      read = HresultFromError(::GetLastError());
    } else if (got != 0 && dest[got - 1] != L'\n') {
      read = DropRestOfLine(input);
    }
    count = got;
    const HRESULT restored = echo_off.Restore();
    return FAILED(read) ? read : restored;
  }

 private:
  // The first failure is the one the run ends with.
  void NoteFailure(HRESULT written) {
    HRESULT none = S_OK;
    if (FAILED(written)) {
      output_failure_.compare_exchange_strong(none, written);
    }
  }

  StdinBuffer input_;
  std::atomic<HRESULT> output_failure_{S_OK};
};

}  // namespace

ConsoleIo& SystemConsole() {
  static Win32Console console;
  return console;
}

}  // namespace hx::platform
