#pragma once
// What the process's console (system_console.h) does differently on each system: how text
// reaches standard output, standard error and the terminal, how standard input is read, and
// how a line is typed unseen. console.cpp builds the one ConsoleIo on it, and keeps standard
// input's buffer, declared here because the POSIX hidden line reads from it too.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/hresult.h"

namespace hx::platform {

/// Standard input, read in blocks. Character reads and the hidden line share it, so that
/// neither loses what the other has read ahead. The end of input is not remembered: at a
/// terminal the operator may type more after an end-of-input key.
class StdinBuffer {
 public:
  /// The next byte, or -1 at the end of input or on a failure (then held by Failure).
  int Next();
  /// The next byte without taking it, or -1 when there is none.
  int Peek();
  /// Why the last block could not be read, or S_OK.
  HRESULT Failure() const { return failure_; }
  /// Zeroes every byte already taken, so that no copy of a typed passcode stays behind.
  void WipeTaken();

 private:
  bool Refill();

  std::array<std::uint8_t, 4096> bytes_{};
  std::size_t position_ = 0;
  std::size_t filled_ = 0;
  bool from_console_ = false;
  HRESULT failure_ = S_OK;
};

/// Reads the next block of standard input: got receives how many bytes, 0 at its end;
/// from_console whether they were typed at a Windows console, where Ctrl+Z ends the input.
HRESULT ReadStandardInput(std::span<std::uint8_t> buffer, std::size_t& got, bool& from_console);
/// Writes wide text to standard output as one write; S_OK, or the failure.
HRESULT WriteWideToOutput(std::wstring_view text);
/// Writes 8-bit text to standard output byte for byte; S_OK, or the failure.
HRESULT WriteNarrowToOutput(std::string_view text);
/// Writes one 8-bit line to standard output and, where it is a terminal, puts the cursor back
/// where the line began; S_OK, or the failure of the write.
HRESULT WriteNarrowInPlaceToOutput(std::string_view line);
/// Writes one line of wide text, with the system's line end, to standard error; a failure is
/// dropped.
void WriteLineToError(std::wstring_view text);
/// Reads one line typed with echo off, as ConsoleIo::ReadHiddenLine gives it; input holds what
/// standard input has given that nobody has taken yet.
HRESULT ReadTypedLine(StdinBuffer& input, std::span<wchar_t> dest, std::size_t& count);

}  // namespace hx::platform
