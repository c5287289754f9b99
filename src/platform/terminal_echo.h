#pragma once
// Echo off on the terminal of standard input, for typing a passcode unseen.

#include "platform/hresult.h"

namespace hx::platform {

/// Turns echo off on standard input for this object's lifetime; line input stays on, so a
/// read ends when the operator presses Enter. While echo is off, an interrupt, quit, hang-up or
/// termination signal first puts the saved terminal settings back and then ends the process as
/// that signal would; the previous signal handlers return when echo is restored.
/// Only one object may exist at a time.
class ScopedEchoOff {
 public:
  ScopedEchoOff();
  ~ScopedEchoOff();
  ScopedEchoOff(const ScopedEchoOff&) = delete;
  ScopedEchoOff& operator=(const ScopedEchoOff&) = delete;

  /// S_OK when echo is off; otherwise the failure, 0x80070006 when standard input is not a
  /// terminal.
  HRESULT Result() const { return result_; }
  /// Puts the saved settings back now; S_OK, or the failure of the restore. Calling it again,
  /// or after a failed start, does nothing and gives S_OK.
  HRESULT Restore();

 private:
  HRESULT result_;
  bool active_ = false;
};

}  // namespace hx::platform
