#pragma once
// A joinable thread with the platform's default stack size.

#include <functional>
#include <memory>

#include "platform/auto_reset_event.h"
#include "platform/hresult.h"

namespace hx {

class CThread;

/// What ended a wait for an event or a thread's end.
enum class EventOrEnd { kEvent, kEnded, kFailed };

struct EventOrEndResult {
  EventOrEnd outcome;
  HRESULT error;  ///< the failure when outcome is kFailed, else S_OK
};

/// Waits without a time limit until event is signalled (consuming the signal) or thread has
/// ended, whichever comes first; when both hold, the event counts. A thread that was never
/// started, or was joined already, counts as ended. The caller's thread must not be thread.
EventOrEndResult WaitForEventOrThreadEnd(CAutoResetEvent& event, CThread& thread);

class CThread {
 public:
  CThread();
  /// Joins the thread if it was started and not joined yet.
  ~CThread();
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;

  /// Starts body on a new thread; the platform's error when the thread cannot be created.
  HRESULT Start(std::function<void()> body);
  bool Started() const;
  /// Waits for the thread to end; nothing happens if it was not started or is joined already.
  void Join();

 private:
  friend EventOrEndResult WaitForEventOrThreadEnd(CAutoResetEvent& event, CThread& thread);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace hx
