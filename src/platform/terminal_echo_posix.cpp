#include <pthread.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "platform/system_error.h"
#include "platform/terminal_echo.h"

namespace hx::platform {
namespace {

constexpr std::array<int, 4> kEndingSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Read by the signal handler, so written only while the ending signals are blocked.
termios g_saved_settings;
// The thread that turned echo off. Only it puts the settings back: the system may hand the
// signal to any other thread of the run (the device link's reader, say), which could then
// restore the settings while the owner, with the ending signals blocked, was still changing
// them, and end the process with echo off after all.
pthread_t g_owner;
std::array<struct sigaction, kEndingSignals.size()> g_previous_actions;
std::array<bool, kEndingSignals.size()> g_installed;

// Async-signal-safe: pthread_kill, tcsetattr, sigaction and raise are. The raised signal stays
// pending while this handler runs and ends the process with the default action once it returns.
void RestoreTerminalAndEnd(int signal_number) {
  if (pthread_equal(pthread_self(), g_owner) == 0) {
    // Handed on to the owner, where it waits while the owner has the ending signals blocked.
    pthread_kill(g_owner, signal_number);
    return;
  }
  ::tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_settings);
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  sigemptyset(&default_action.sa_mask);
  ::sigaction(signal_number, &default_action, nullptr);
  ::raise(signal_number);
}

sigset_t EndingSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal_number : kEndingSignals) {
    sigaddset(&set, signal_number);
  }
  return set;
}

// Keeps the handler from running while the settings and handlers are being changed.
class EndingSignalsBlocked {
 public:
  EndingSignalsBlocked() {
    const sigset_t set = EndingSignalSet();
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
  }
  ~EndingSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  EndingSignalsBlocked(const EndingSignalsBlocked&) = delete;
  EndingSignalsBlocked& operator=(const EndingSignalsBlocked&) = delete;

 private:
  sigset_t previous_;
};

void InstallHandlers() {
  struct sigaction action {};
  action.sa_handler = RestoreTerminalAndEnd;
  action.sa_mask = EndingSignalSet();
  for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
    g_installed[i] = false;
    if (::sigaction(kEndingSignals[i], nullptr, &g_previous_actions[i]) != 0) {
      continue;
    }
    // A signal that the process was told to ignore stays ignored.
    if (g_previous_actions[i].sa_handler == SIG_IGN) {
      continue;
    }
    g_installed[i] = ::sigaction(kEndingSignals[i], &action, nullptr) == 0;
  }
}

void RestoreHandlers() {
  for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
    if (g_installed[i]) {
      ::sigaction(kEndingSignals[i], &g_previous_actions[i], nullptr);
      g_installed[i] = false;
    }
  }
}

}  // namespace

ScopedEchoOff::ScopedEchoOff() {
  termios settings;
  if (::isatty(STDIN_FILENO) == 0 || ::tcgetattr(STDIN_FILENO, &settings) != 0) {
    result_ = HresultFromErrno(errno);
    return;
  }
  EndingSignalsBlocked blocked;
  g_saved_settings = settings;
  g_owner = pthread_self();
  InstallHandlers();
  settings.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  if (::tcsetattr(STDIN_FILENO, TCSANOW, &settings) != 0) {
    result_ = HresultFromErrno(errno);
    RestoreHandlers();
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
  EndingSignalsBlocked blocked;
  const HRESULT result =
      ::tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_settings) == 0 ? S_OK : HresultFromErrno(errno);
  RestoreHandlers();
  return result;
}

}  // namespace hx::platform
