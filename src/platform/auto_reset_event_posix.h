#pragma once
// The POSIX event's state, shared with the wait on an event and a thread's end
// (thread_posix.cpp), which sleeps on the event's condition variable.

#include <condition_variable>
#include <mutex>

#include "platform/auto_reset_event.h"

namespace hx {

struct CAutoResetEvent::Impl {
  std::mutex mutex;
  /// Notified on Set, and when a thread that a waiter watches together with the event ends.
  std::condition_variable signalled_cv;
  bool signalled = false;
};

}  // namespace hx
