#pragma once
// An auto-reset event with a timed wait: a successful wait consumes the signal, and signals
// that come while nobody waits are held as one.

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/hresult.h"

namespace hx {

enum class WaitOutcome { kSignalled, kTimedOut, kFailed };

struct WaitResult {
  WaitOutcome outcome;
  HRESULT error;  ///< the failure when outcome is kFailed, else S_OK
};

class CAutoResetEvent {
 public:
  CAutoResetEvent();
  ~CAutoResetEvent();
  CAutoResetEvent(const CAutoResetEvent&) = delete;
  CAutoResetEvent& operator=(const CAutoResetEvent&) = delete;

  /// Creates the event, not signalled. Called once, before any Set or Wait.
  HRESULT Create();
  /// Signals the event. Safe to call from any thread.
  void Set();
  /// Waits for the signal; nullopt waits without a limit. Callable from one thread at a time.
  WaitResult Wait(std::optional<std::uint32_t> timeout_ms);
  /// The system object behind the event, for platform code that hands it to the system: the
  /// event handle on Windows, null on POSIX, where there is none.
  void* NativeHandle();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace hx
