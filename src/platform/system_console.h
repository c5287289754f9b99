#pragma once
// What a console does, and the process's own: standard output, standard error, standard input
// and the terminal. The operator's console (console/console_io.h) is this one unless a test has
// put another in its place.

#include <cstddef>
#include <span>
#include <string_view>

#include "platform/hresult.h"

namespace hx {

class ConsoleIo {
 public:
  virtual ~ConsoleIo() = default;

  /// Writes wide text to standard output as one write (converted with the locale on POSIX).
  virtual void WriteWide(std::wstring_view text) = 0;
  /// Writes 8-bit text to standard output as one write, byte for byte.
  virtual void WriteNarrow(std::string_view text) = 0;
  /// Writes one 8-bit line (ending in "\r\n") and puts the cursor back where the line began,
  /// so that the next line overwrites it. Where standard output is not a terminal the lines
  /// simply follow one another.
  virtual void WriteNarrowInPlace(std::string_view line) = 0;

  /// Writes one line of wide text, with the platform's line end, to standard error: a note for
  /// whoever runs the program that is not part of its output. A failure to write it is no
  /// failure of the run.
  virtual void WriteErrorLine(std::wstring_view text) = 0;

  /// Reads one character from standard input; -1 at the end of input. A carriage return
  /// directly before a line feed is dropped, as a text-mode stream does.
  virtual int ReadChar() = 0;
  /// The result of the first write to standard output that failed (a full disk, a pipe whose
  /// reader has gone), or S_OK while every write has reached it. Safe from any thread.
  virtual HRESULT OutputFailure() const = 0;

  /// Turns echo off, writes prompt (as WriteWide does), and reads one line from the console
  /// with echo off; returns it as the console gives it: the typed characters followed by
  /// "\r\n", at most dest.size() characters. count receives how many were stored. Echo goes
  /// off before the prompt is written, so that nothing typed once the prompt shows is ever
  /// echoed; the prompt is written even when echo cannot be turned off, and then that failure
  /// is the result and nothing is read. Echo is restored before this returns, also on failure.
  virtual HRESULT ReadHiddenLine(std::wstring_view prompt, std::span<wchar_t> dest,
                                 std::size_t& count) = 0;
};

namespace platform {

/// The process's own console: standard output, standard input and the terminal.
ConsoleIo& SystemConsole();

}  // namespace platform
}  // namespace hx
