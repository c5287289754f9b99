// The process's console, the same on every system on top of its per-system calls.
#include <atomic>

#include "platform/console_system.h"
#include "platform/secure_wipe.h"
#include "platform/system_console.h"
#include "platform/terminal_echo.h"

namespace hx::platform {
namespace {

constexpr std::uint8_t kConsoleEndOfInput = 0x1A;  // Ctrl+Z

class Console final : public ConsoleIo {
 public:
  void WriteWide(std::wstring_view text) override { NoteFailure(WriteWideToOutput(text)); }

  void WriteNarrow(std::string_view text) override { NoteFailure(WriteNarrowToOutput(text)); }

  void WriteNarrowInPlace(std::string_view line) override {
    NoteFailure(WriteNarrowInPlaceToOutput(line));
  }

  HRESULT OutputFailure() const override { return output_failure_.load(); }

  void WriteErrorLine(std::wstring_view text) override { WriteLineToError(text); }

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
    const HRESULT read = ReadTypedLine(input_, dest, count);
    input_.WipeTaken();
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

int StdinBuffer::Next() {
  if (position_ == filled_ && !Refill()) {
    return -1;
  }
  const std::uint8_t byte = bytes_[position_++];
  if (byte == kConsoleEndOfInput && from_console_) {
    position_ = filled_;
    return -1;
  }
  return byte;
}

int StdinBuffer::Peek() {
  if (position_ == filled_ && !Refill()) {
    return -1;
  }
  return bytes_[position_];
}

void StdinBuffer::WipeTaken() {
  SecureWipe(std::span(bytes_).first(position_));
}

bool StdinBuffer::Refill() {
  std::size_t got = 0;
  failure_ = ReadStandardInput(bytes_, got, from_console_);
  if (FAILED(failure_) || got == 0) {
    return false;
  }
  SecureWipe(std::span(bytes_).subspan(got));
  position_ = 0;
  filled_ = got;
  return true;
}

ConsoleIo& SystemConsole() {
  static Console console;
  return console;
}

}  // namespace hx::platform
