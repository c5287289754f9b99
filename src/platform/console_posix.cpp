// The process's console on POSIX: text goes to descriptor 1 as bytes, one write loop per call,
// so wide and 8-bit output never meet in a stdio buffer; input comes from descriptor 0.

#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cwchar>

#include "platform/byte_output.h"
#include "platform/secure_wipe.h"
#include "platform/system_console.h"
#include "platform/system_error.h"
#include "platform/terminal_echo.h"

namespace hx::platform {
namespace {

// Moves the cursor up one line and to its first column.
constexpr std::string_view kBackToLineStart = "\x1b[1A\r";

// Standard input, read in blocks. Character reads and the hidden line share it, so that
// neither loses what the other has read ahead. The end of input is not remembered: on a
// terminal the operator may type more after an end-of-input key, as on the Windows console.
class StdinBuffer {
 public:
  /// The next byte, or -1 at the end of input or on a failure (error then holds its errno).
  int Next(int& error) {
    error = 0;
    if (position_ == filled_ && !Refill(error)) {
      return -1;
    }
    return static_cast<unsigned char>(bytes_[position_++]);
  }

  /// The next byte without taking it, or -1 when there is none.
  int Peek() {
    int error = 0;
    if (position_ == filled_ && !Refill(error)) {
      return -1;
    }
    return static_cast<unsigned char>(bytes_[position_]);
  }

  /// Zeroes every byte already taken, so that no copy of a typed passcode stays behind.
  void WipeTaken() { SecureWipe(std::span<char>(bytes_.data(), position_)); }

 private:
  bool Refill(int& error) {
    for (;;) {
      const ssize_t got = ::read(STDIN_FILENO, bytes_.data(), bytes_.size());
      if (got > 0) {
        SecureWipe(std::span<char>(bytes_).subspan(static_cast<std::size_t>(got)));
        position_ = 0;
        filled_ = static_cast<std::size_t>(got);
        return true;
      }
      if (got < 0 && errno == EINTR) {
        continue;
      }
      error = got < 0 ? errno : 0;
      return false;
    }
  }

  std::array<char, 4096> bytes_{};
  std::size_t position_ = 0;
  std::size_t filled_ = 0;
};

// Decodes typed bytes with the locale straight into the caller's buffer, so the typed text is
// never held in a growing copy.
class HiddenLineDecoder {
 public:
  explicit HiddenLineDecoder(std::span<wchar_t> dest) : dest_(dest) {}
  ~HiddenLineDecoder() {
    SecureWipe(std::as_writable_bytes(std::span<std::mbstate_t>(&state_, 1)));
  }
  HiddenLineDecoder(const HiddenLineDecoder&) = delete;
  HiddenLineDecoder& operator=(const HiddenLineDecoder&) = delete;

  void AddByte(char byte) {
    wchar_t ch = 0;
    const std::size_t used = std::mbrtowc(&ch, &byte, 1, &state_);
    if (used == static_cast<std::size_t>(-2)) {
      return;
    }
    if (used == static_cast<std::size_t>(-1)) {
      ch = L'?';
      state_ = std::mbstate_t{};
    }
    Store(ch);
  }

  void Store(wchar_t ch) {
    if (count_ < dest_.size()) {
      dest_[count_++] = ch;
    }
  }

  std::size_t Count() const { return count_; }

 private:
  std::span<wchar_t> dest_;
  std::size_t count_ = 0;
  std::mbstate_t state_{};
};

class PosixConsole final : public ConsoleIo {
 public:
  void WriteWide(std::wstring_view text) override { WriteNarrow(NarrowWithLocale(text)); }

  void WriteNarrow(std::string_view text) override {
    const HRESULT written = WriteAllToDescriptor(STDOUT_FILENO, text);
    HRESULT none = S_OK;
    if (FAILED(written)) {
      output_failure_.compare_exchange_strong(none, written);
    }
  }

  HRESULT OutputFailure() const override { return output_failure_.load(); }

  void WriteErrorLine(std::wstring_view text) override {
    WriteAllToDescriptor(STDERR_FILENO, NarrowWithLocale(text).append("\n"));
  }

  void WriteNarrowInPlace(std::string_view line) override {
    if (::isatty(STDOUT_FILENO) == 0) {
      WriteNarrow(line);
      return;
    }
    std::string bytes(line);
    bytes.append(kBackToLineStart);
    WriteNarrow(bytes);
  }

  int ReadChar() override {
    int error = 0;
    const int ch = input_.Next(error);
    if (ch == '\r' && input_.Peek() == '\n') {
      return input_.Next(error);
    }
    return ch;
  }

  HRESULT ReadHiddenLine(std::wstring_view prompt, std::span<wchar_t> dest,
                         std::size_t& count) override {
    count = 0;
    ScopedEchoOff echo_off;
    WriteWide(prompt);
    if (FAILED(echo_off.Result())) {
      return echo_off.Result();
    }
    const HRESULT read = ReadTypedLine(dest, count);
    input_.WipeTaken();
    const HRESULT restored = echo_off.Restore();
    return FAILED(read) ? read : restored;
  }

 private:
  // The bytes up to the line feed, given back as the console gives a line: the typed
  // characters, then "\r\n". Carriage returns are dropped; the line end is supplied here.
  HRESULT ReadTypedLine(std::span<wchar_t> dest, std::size_t& count) {
    HiddenLineDecoder decoder(dest);
    bool typed = false;
    int error = 0;
    int ch = input_.Next(error);
    for (; ch >= 0 && ch != '\n'; ch = input_.Next(error)) {
      typed = true;
      if (ch != '\r') {
        decoder.AddByte(static_cast<char>(ch));
      }
    }
    if (error != 0) {
      return HresultFromErrno(error);
    }
    if (typed || ch == '\n') {
      decoder.Store(L'\r');
      decoder.Store(L'\n');
    }
    count = decoder.Count();
    return S_OK;
  }

  StdinBuffer input_;
  std::atomic<HRESULT> output_failure_{S_OK};
};

}  // namespace

ConsoleIo& SystemConsole() {
  static PosixConsole console;
  return console;
}

}  // namespace hx::platform
