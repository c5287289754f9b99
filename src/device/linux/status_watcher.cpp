#include "device/linux/status_watcher.h"

#include <linux/videodev2.h>

#include <array>
#include <cerrno>

#include "device/linux/uvc_errors.h"

namespace hx::uvc {

HRESULT StatusWatcher::Start(Mode mode, int node_fd, CAutoResetEvent& event,
                             std::chrono::milliseconds interval, std::function<void()> tick) {
  const int wakeup = kernel_.OpenWakeup();
  if (wakeup < 0) {
    return ResultFromErrno(-wakeup);
  }
  wakeup_fd_ = wakeup;
  const int interval_ms = static_cast<int>(interval.count());
  if (!tick) {
    tick = [&event] { event.Set(); };
  }
  thread_ = std::thread([this, mode, wakeup, node_fd, &event, interval_ms, tick = std::move(tick)] {
    Run(mode, wakeup, node_fd, event, interval_ms, tick);
  });
  return S_OK;
}

void StatusWatcher::Stop() {
  if (wakeup_fd_ < 0) {
    return;
  }
  kernel_.Wake(wakeup_fd_);
  if (thread_.joinable()) {
    thread_.join();
  }
  kernel_.Close(wakeup_fd_);
  wakeup_fd_ = -1;
}

// Dequeues every pending event; true when there was at least one.
bool StatusWatcher::DrainEvents(int node_fd) {
  bool any = false;
  for (;;) {
    v4l2_event event{};
    const int result = kernel_.Ioctl(node_fd, VIDIOC_DQEVENT, &event);
    if (result == -EINTR) {
      continue;
    }
    if (result < 0) {
      return any;
    }
    any = true;
  }
}

void StatusWatcher::Run(Mode mode, int wakeup_fd, int node_fd, CAutoResetEvent& event,
                        int interval_ms, const std::function<void()>& tick) {
  bool timer = mode == Mode::kTimer;
  for (;;) {
    std::array<pollfd, 2> fds{{{wakeup_fd, POLLIN, 0}, {node_fd, POLLPRI, 0}}};
    const int ready = kernel_.Poll(std::span(fds).first(timer ? 1 : 2), timer ? interval_ms : -1);
    if (ready == -EINTR) {
      continue;
    }
    if (ready < 0) {
      // Waiting on the node failed: the loops must not wait for ever, so the timer takes
      // over; if even that cannot wait, a last signal lets them meet whatever comes next.
      event.Set();
      if (timer) {
        return;
      }
      timer = true;
      continue;
    }
    if (fds[0].revents != 0) {
      return;
    }
    if (timer) {
      tick();
      continue;
    }
    if ((fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
      event.Set();
      return;
    }
    if ((fds[1].revents & POLLPRI) != 0 && DrainEvents(node_fd)) {
      event.Set();
    }
  }
}

}  // namespace hx::uvc
