// The process's console on POSIX: text goes to descriptor 1 as bytes, one write loop per call,
// so wide and 8-bit output never meet in a stdio buffer; input comes from descriptor 0.

#include <unistd.h>

#include <cwchar>
#include <string>

#include "platform/byte_output.h"
#include "platform/console_system.h"
#include "platform/file_handle.h"
#include "platform/secure_wipe.h"

namespace hx::platform {
namespace {

// Moves the cursor up one line and to its first column.
constexpr std::string_view kBackToLineStart = "\x1b[1A\r";

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

}  // namespace

HRESULT ReadStandardInput(std::span<std::uint8_t> buffer, std::size_t& got, bool& from_console) {
  from_console = false;
  return ReadFromFile(STDIN_FILENO, buffer, got);
}

HRESULT WriteWideToOutput(std::wstring_view text) {
  return WriteNarrowToOutput(NarrowWithLocale(text));
}

HRESULT WriteNarrowToOutput(std::string_view text) {
  return WriteAllToDescriptor(STDOUT_FILENO, text);
}

HRESULT WriteNarrowInPlaceToOutput(std::string_view line) {
  if (::isatty(STDOUT_FILENO) == 0) {
    return WriteNarrowToOutput(line);
  }
  return WriteNarrowToOutput(std::string(line).append(kBackToLineStart));
}

void WriteLineToError(std::wstring_view text) {
  WriteAllToDescriptor(STDERR_FILENO, NarrowWithLocale(text).append("\n"));
}

// The bytes up to the line feed, given back as the console gives a line: the typed
// characters, then "\r\n". Carriage returns are dropped; the line end is supplied here.
HRESULT ReadTypedLine(StdinBuffer& input, std::span<wchar_t> dest, std::size_t& count) {
  HiddenLineDecoder decoder(dest);
  bool typed = false;
  int ch = input.Next();
  for (; ch >= 0 && ch != '\n'; ch = input.Next()) {
    typed = true;
    if (ch != '\r') {
      decoder.AddByte(static_cast<char>(ch));
    }
  }
  if (ch < 0 && FAILED(input.Failure())) {
    return input.Failure();
  }
  if (typed || ch == '\n') {
    decoder.Store(L'\r');
    decoder.Store(L'\n');
  }
  count = decoder.Count();
  return S_OK;
}

}  // namespace hx::platform
