#include "device/linux/kernel_calls.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace hx::uvc {
namespace {

int Result(int value) {
  return value < 0 ? -errno : value;
}

class SystemKernelCalls final : public KernelCalls {
 public:
  int Open(const std::string& path, int flags) override {
    return Result(::open(path.c_str(), flags));
  }
  int Close(int fd) override { return Result(::close(fd)); }
  int Ioctl(int fd, unsigned long request, void* argument) override {
    return Result(::ioctl(fd, request, argument));
  }
  int Poll(std::span<pollfd> fds, int timeout_ms) override {
    return Result(::poll(fds.data(), fds.size(), timeout_ms));
  }
  int Flock(int fd, int operation) override { return Result(::flock(fd, operation)); }
  int OpenWakeup() override { return Result(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)); }
  int Wake(int fd) override { return Result(::eventfd_write(fd, 1)); }
};

}  // namespace

std::shared_ptr<KernelCalls> SystemKernel() {
  static const auto kernel = std::make_shared<SystemKernelCalls>();
  return kernel;
}

}  // namespace hx::uvc
