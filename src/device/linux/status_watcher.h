#pragma once
// Turns the extension unit's status interrupt into signals of the status-interrupt event: a
// thread that waits for uvcvideo's control events on the node, or, where the driver cannot
// deliver them, a timer at whose every tick the status is looked at.

#include <chrono>
#include <functional>
#include <thread>

#include "device/linux/kernel_calls.h"
#include "platform/auto_reset_event.h"
#include "platform/hresult.h"

namespace hx::uvc {

class StatusWatcher {
 public:
  enum class Mode { kControlEvents, kTimer };

  explicit StatusWatcher(KernelCalls& kernel) : kernel_(kernel) {}
  ~StatusWatcher() { Stop(); }
  StatusWatcher(const StatusWatcher&) = delete;
  StatusWatcher& operator=(const StatusWatcher&) = delete;

  /// Starts the thread. kControlEvents dequeues the events of node_fd and signals event once
  /// per batch; a node that reports an error or hang-up (the device gone) signals once more so
  /// that a waiting loop goes on to meet the failure, and the thread ends. kTimer calls tick
  /// every interval, which decides whether to signal; without a tick it signals every
  /// interval. Fails only when the thread's wake-up cannot be made.
  HRESULT Start(Mode mode, int node_fd, CAutoResetEvent& event, std::chrono::milliseconds interval,
                std::function<void()> tick = {});
  /// Wakes the thread and joins it; safe when it never started, and safe twice.
  void Stop();

 private:
  void Run(Mode mode, int wakeup_fd, int node_fd, CAutoResetEvent& event, int interval_ms,
           const std::function<void()>& tick);
  bool DrainEvents(int node_fd);

  KernelCalls& kernel_;
  std::thread thread_;
  int wakeup_fd_ = -1;
};

}  // namespace hx::uvc
