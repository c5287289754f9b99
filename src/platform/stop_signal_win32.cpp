#include <windows.h>

#include <atomic>

#include "platform/stop_signal.h"

namespace hx {
namespace {

std::atomic<bool> g_stop_requested{false};

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI OnConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      g_stop_requested.store(true);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

HRESULT InstallStopSignal() {
  if (!::SetConsoleCtrlHandler(OnConsoleControl, TRUE)) {
    return HresultFromError(::GetLastError());
  }
  return S_OK;
}

bool StopRequested() {
  return g_stop_requested.load();
}

}  // namespace hx
