#pragma once
// A kernel for the uvcvideo backend's tests: video nodes whose answers the test decides, and
// a record of every call the backend made, in the backend's own terms ("open /dev/video0",
// "flock 3 exclusive nonblocking", "query set unit 4 selector 16 size 52"). Thread-safe: the
// status watcher polls on its own thread while the test thread transfers.

#include <linux/videodev2.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "device/linux/kernel_calls.h"

namespace hx::test {

class ScriptedKernel final : public uvc::KernelCalls {
 public:
  /// How one video node answers.
  struct Node {
    int open_error = 0;  ///< errno that opening it fails with
    std::string driver = "uvcvideo";
    std::uint32_t device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    int lock_error = 0;                 ///< errno that flock fails with
    int map_error = 0;                  ///< errno of UVCIOC_CTRL_MAP
    int subscribe_error = 0;            ///< errno of VIDIOC_SUBSCRIBE_EVENT
    std::uint16_t control_length = 52;  ///< what UVC_GET_LEN says for every control
  };
  /// Answers a UVC_SET_CUR or UVC_GET_CUR: 0 or -errno. Runs without the kernel's lock, so
  /// it may raise events.
  using TransferHandler =
      std::function<int(std::uint8_t selector, std::uint8_t query, std::span<std::uint8_t> data)>;

  void AddNode(const std::string& path, Node node);
  void OnTransfer(TransferHandler handler);
  /// The next control queries fail with these errnos, one each, before any is carried out.
  void FailNextQueries(std::vector<int> errnos);

  /// Queues control events on every open node at once, as uvcvideo does per status interrupt.
  void RaiseEvent(int count = 1);
  /// Every open node reports an error from now on, as when the device leaves the bus.
  void Unplug();

  std::vector<std::string> Calls() const;
  /// Descriptors opened and not closed.
  int OpenDescriptors() const;
  /// How many times a thread has waited in Poll so far.
  int Polls() const;

  int Open(const std::string& path, int flags) override;
  int Close(int fd) override;
  int Ioctl(int fd, unsigned long request, void* argument) override;
  int Poll(std::span<pollfd> fds, int timeout_ms) override;
  int Flock(int fd, int operation) override;
  int OpenWakeup() override;
  int Wake(int fd) override;

 private:
  struct Descriptor {
    std::string path;  ///< empty for a wake-up descriptor
    int pending_events = 0;
    bool woken = false;
  };
  int QueryControl(Descriptor& descriptor, void* argument, std::unique_lock<std::mutex>& lock);
  short Readiness(const Descriptor& descriptor, short events) const;
  void Record(std::string call);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, Node> nodes_;
  std::map<int, Descriptor> open_;
  int next_fd_ = 3;
  bool unplugged_ = false;
  int polls_ = 0;
  std::deque<int> failing_queries_;
  TransferHandler transfer_;
  std::vector<std::string> calls_;
};

}  // namespace hx::test
