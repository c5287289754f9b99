#include "linux/scripted_kernel.h"

#include <fcntl.h>
#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace hx::test {
namespace {

std::string QueryName(std::uint8_t query) {
  switch (query) {
    case UVC_SET_CUR:
      return "set";
    case UVC_GET_CUR:
      return "get";
    case UVC_GET_LEN:
      return "len";
    default:
      return "query " + std::to_string(query);
  }
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

}  // namespace

void ScriptedKernel::AddNode(const std::string& path, Node node) {
  std::lock_guard lock(mutex_);
  nodes_[path] = std::move(node);
}

void ScriptedKernel::OnTransfer(TransferHandler handler) {
  std::lock_guard lock(mutex_);
  transfer_ = std::move(handler);
}

void ScriptedKernel::FailNextQueries(std::vector<int> errnos) {
  std::lock_guard lock(mutex_);
  failing_queries_.insert(failing_queries_.end(), errnos.begin(), errnos.end());
}

void ScriptedKernel::RaiseEvent(int count) {
  std::lock_guard lock(mutex_);
  for (auto& [fd, descriptor] : open_) {
    if (!descriptor.path.empty()) {
      descriptor.pending_events += count;
    }
  }
  changed_.notify_all();
}

void ScriptedKernel::Unplug() {
  std::lock_guard lock(mutex_);
  unplugged_ = true;
  changed_.notify_all();
}

std::vector<std::string> ScriptedKernel::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

int ScriptedKernel::OpenDescriptors() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(open_.size());
}

int ScriptedKernel::Polls() const {
  std::lock_guard lock(mutex_);
  return polls_;
}

void ScriptedKernel::Record(std::string call) {
  calls_.push_back(std::move(call));
}

int ScriptedKernel::Open(const std::string& path, int flags) {
  std::lock_guard lock(mutex_);
  const bool expected_flags = flags == (O_RDWR | O_NONBLOCK | O_CLOEXEC);
  Record("open " + path + (expected_flags ? "" : " with other flags"));
  const auto node = nodes_.find(path);
  if (node == nodes_.end()) {
    return -ENOENT;
  }
  if (node->second.open_error != 0) {
    return -node->second.open_error;
  }
  const int fd = next_fd_++;
  open_[fd] = Descriptor{path};
  return fd;
}

int ScriptedKernel::Close(int fd) {
  std::lock_guard lock(mutex_);
  Record("close " + std::to_string(fd));
  return open_.erase(fd) != 0 ? 0 : -EBADF;
}

int ScriptedKernel::Flock(int fd, int operation) {
  std::lock_guard lock(mutex_);
  Record("flock " + std::to_string(fd) +
         (operation == (LOCK_EX | LOCK_NB) ? " exclusive nonblocking" : " other"));
  const auto descriptor = open_.find(fd);
  if (descriptor == open_.end()) {
    return -EBADF;
  }
  const int error = nodes_[descriptor->second.path].lock_error;
  return error != 0 ? -error : 0;
}

int ScriptedKernel::OpenWakeup() {
  std::lock_guard lock(mutex_);
  const int fd = next_fd_++;
  open_[fd] = Descriptor{};
  return fd;
}

int ScriptedKernel::Wake(int fd) {
  std::lock_guard lock(mutex_);
  const auto descriptor = open_.find(fd);
  if (descriptor == open_.end()) {
    return -EBADF;
  }
  descriptor->second.woken = true;
  changed_.notify_all();
  return 0;
}

int ScriptedKernel::Ioctl(int fd, unsigned long request, void* argument) {
  std::unique_lock lock(mutex_);
  const auto found = open_.find(fd);
  if (found == open_.end() || found->second.path.empty()) {
    return -EBADF;
  }
  Descriptor& descriptor = found->second;
  const Node& node = nodes_[descriptor.path];
  switch (request) {
    case VIDIOC_QUERYCAP: {
      Record("querycap " + std::to_string(fd));
      auto& capability = *static_cast<v4l2_capability*>(argument);
      std::strncpy(reinterpret_cast<char*>(capability.driver), node.driver.c_str(),
                   sizeof capability.driver - 1);
      capability.device_caps = node.device_caps;
      capability.capabilities = node.device_caps | V4L2_CAP_DEVICE_CAPS;
      return 0;
    }
    case UVCIOC_CTRL_MAP: {
      const auto& mapping = *static_cast<uvc_xu_control_mapping*>(argument);
      Record("map " + Hex(mapping.id) + " selector " + std::to_string(mapping.selector) + " " +
             std::to_string(mapping.size) + " bits at " + std::to_string(mapping.offset));
      return -node.map_error;
    }
    case VIDIOC_SUBSCRIBE_EVENT: {
      const auto& subscription = *static_cast<v4l2_event_subscription*>(argument);
      Record(
          "subscribe " + Hex(subscription.id) +
          (subscription.type == V4L2_EVENT_CTRL ? " control" : " other") +
          ((subscription.flags & V4L2_EVENT_SUB_FL_ALLOW_FEEDBACK) != 0 ? " with feedback" : ""));
      return -node.subscribe_error;
    }
    case VIDIOC_DQEVENT:
      if (descriptor.pending_events == 0) {
        return -ENOENT;
      }
      --descriptor.pending_events;
      return 0;
    case UVCIOC_CTRL_QUERY:
      return QueryControl(descriptor, argument, lock);
    default:
      return -ENOTTY;
  }
}

int ScriptedKernel::QueryControl(Descriptor& descriptor, void* argument,
                                 std::unique_lock<std::mutex>& lock) {
  auto& query = *static_cast<uvc_xu_control_query*>(argument);
  Record("query " + QueryName(query.query) + " unit " + std::to_string(query.unit) + " selector " +
         std::to_string(query.selector) + " size " + std::to_string(query.size));
  if (!failing_queries_.empty()) {
    const int error = failing_queries_.front();
    failing_queries_.pop_front();
    return -error;
  }
  if (unplugged_) {
    return -ENODEV;
  }
  const std::span<std::uint8_t> data(query.data, query.size);
  if (query.query == UVC_GET_LEN) {
    const std::uint16_t length = nodes_[descriptor.path].control_length;
    data[0] = static_cast<std::uint8_t>(length & 0xFF);
    data[1] = static_cast<std::uint8_t>(length >> 8);
    return 0;
  }
  const TransferHandler handler = transfer_;
  if (!handler) {
    return 0;
  }
  lock.unlock();
  return handler(query.selector, query.query, data);
}

short ScriptedKernel::Readiness(const Descriptor& descriptor, short events) const {
  if (descriptor.path.empty()) {
    return descriptor.woken ? POLLIN : 0;
  }
  if (unplugged_) {
    return POLLERR | POLLHUP | POLLPRI;
  }
  return (events & POLLPRI) != 0 && descriptor.pending_events > 0 ? POLLPRI : 0;
}

int ScriptedKernel::Poll(std::span<pollfd> fds, int timeout_ms) {
  std::unique_lock lock(mutex_);
  ++polls_;
  const auto ready = [&] {
    int count = 0;
    for (pollfd& entry : fds) {
      const auto descriptor = open_.find(entry.fd);
      entry.revents = descriptor == open_.end() ? static_cast<short>(POLLNVAL)
                                                : Readiness(descriptor->second, entry.events);
      count += entry.revents != 0 ? 1 : 0;
    }
    return count;
  };
  if (timeout_ms < 0) {
    changed_.wait(lock, [&] { return ready() > 0; });
  } else {
    changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return ready() > 0; });
  }
  return ready();
}

}  // namespace hx::test
