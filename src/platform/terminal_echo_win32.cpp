#include <windows.h>

#include <atomic>

#include "platform/terminal_echo.h"

namespace hx::platform {
namespace {

// Read by the control handler, which the system runs on a thread of its own.
std::atomic<HANDLE> g_input{nullptr};
std::atomic<DWORD> g_saved_mode{0};

HRESULT LastError() {
  return HresultFromError(::GetLastError());
}

// Ctrl+C, Ctrl+Break or a closing console while echo is off: echo comes back first, then the
// next handler (the system's own, which ends the process) takes the event.
BOOL WINAPI RestoreEchoOnControl(DWORD) {
  const HANDLE input = g_input.load();
  if (input != nullptr) {
    ::SetConsoleMode(input, g_saved_mode.load());
  }
  return FALSE;
}

}  // namespace

ScopedEchoOff::ScopedEchoOff() {
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  if (input == INVALID_HANDLE_VALUE || input == nullptr) {
    result_ = input == nullptr ? HresultFromError(kErrorInvalidHandle) : LastError();
    return;
  }
  DWORD mode = 0;
  if (!::GetConsoleMode(input, &mode)) {
    result_ = LastError();
    return;
  }
  g_saved_mode = mode;
  g_input = input;
  ::SetConsoleCtrlHandler(RestoreEchoOnControl, TRUE);
  // Line input stays on: the read ends when the operator presses Enter.
  if (!::SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT))) {
    result_ = LastError();
    ::SetConsoleCtrlHandler(RestoreEchoOnControl, FALSE);
    g_input = nullptr;
    return;
  }
  active_ = true;
  result_ = S_OK;
}

ScopedEchoOff::~ScopedEchoOff() {
  Restore();
}

HRESULT ScopedEchoOff::Restore() {
  if (!active_) {
    return S_OK;
  }
  active_ = false;
  const HRESULT result = ::SetConsoleMode(g_input.load(), g_saved_mode.load()) ? S_OK : LastError();
  ::SetConsoleCtrlHandler(RestoreEchoOnControl, FALSE);
  g_input = nullptr;
  return result;
}

}  // namespace hx::platform
