#pragma once
// The system calls of the uvcvideo backend, behind one narrow interface: the real kernel in
// the product, a scripted one in the tests, so that every decision the backend takes on a
// call's result can be tried without a device.
//
// Every call returns what the system call returns on success and -errno on failure. None
// retries on EINTR; the backend decides that. Calls may come from several threads at once.

#include <poll.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace hx::uvc {

class KernelCalls {
 public:
  virtual ~KernelCalls() = default;

  virtual int Open(const std::string& path, int flags) = 0;
  virtual int Close(int fd) = 0;
  virtual int Ioctl(int fd, unsigned long request, void* argument) = 0;
  virtual int Poll(std::span<pollfd> fds, int timeout_ms) = 0;
  virtual int Flock(int fd, int operation) = 0;
  /// A descriptor that becomes readable once Wake is called on it (an eventfd).
  virtual int OpenWakeup() = 0;
  virtual int Wake(int fd) = 0;
};

/// The running kernel.
std::shared_ptr<KernelCalls> SystemKernel();

}  // namespace hx::uvc
