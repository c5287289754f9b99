#include <signal.h>

#include <atomic>

#include "platform/stop_signal.h"

namespace hx {
namespace {

// Only a lock-free atomic may be touched from a signal handler.
std::atomic<bool> g_stop_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnStopSignal(int) {
  g_stop_requested.store(true);
}

}  // namespace

HRESULT InstallStopSignal() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  if (::sigaction(SIGINT, &action, nullptr) != 0 || ::sigaction(SIGTERM, &action, nullptr) != 0) {
    return E_FAIL;
  }
  // A client that vanishes mid-write must not end the server.
  ::signal(SIGPIPE, SIG_IGN);
  return S_OK;
}

bool StopRequested() {
  return g_stop_requested.load();
}

}  // namespace hx
