#include "platform/socket_common_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace hx::socket_posix {
namespace {

// How often a wait that can be stopped asks whether it should end.
constexpr int kStopPollMs = 50;
// How long a connect waits before trying a Unix-domain server with a full backlog again.
constexpr auto kFullBacklogRetry = std::chrono::milliseconds(20);

// Waits until a connect in progress on fd has completed; S_OK when it succeeded.
HRESULT FinishConnect(int fd, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      return kHrDeviceNotConnected;
    }
    pollfd entry{fd, POLLOUT, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
    if (ready > 0) {
      break;
    }
    if (ready < 0 && errno != EINTR) {
      return kHrDeviceNotConnected;
    }
  }
  int error = 0;
  socklen_t length = sizeof(error);
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
    return kHrDeviceNotConnected;
  }
  return S_OK;
}

}  // namespace

bool FillUnixAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof(address));
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(address.sun_path)) {
    return false;
  }
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

HRESULT WaitReadable(int fd, std::optional<Clock::time_point> deadline, const StopCheck& stop) {
  for (;;) {
    int wait_ms = -1;
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
      if (left.count() <= 0) {
        return kHrTimeout;
      }
      wait_ms = static_cast<int>(left.count());
    }
    if (stop && (wait_ms < 0 || wait_ms > kStopPollMs)) {
      wait_ms = kStopPollMs;
    }
    pollfd entry{fd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, wait_ms);
    if (ready > 0) {
      return S_OK;
    }
    if (ready < 0 && errno != EINTR) {
      return kHrDeviceNotConnected;
    }
    if (stop && stop()) {
      return kHrOperationAborted;
    }
  }
}

// A blocking connect waits as long as the system likes for a server that does not take the
// connection (a full backlog, a lost network), so the connect is made non-blocking.
HRESULT ConnectWithin(int fd, const sockaddr* address, socklen_t length,
                      Clock::time_point deadline) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
    return kHrDeviceNotConnected;
  }
  HRESULT hr = kHrDeviceNotConnected;
  for (;;) {
    if (::connect(fd, address, length) == 0) {
      hr = S_OK;
      break;
    }
    // Interrupted, the connect goes on by itself, as one in progress does.
    if (errno == EINPROGRESS || errno == EINTR) {
      hr = FinishConnect(fd, deadline);
      break;
    }
    // A Unix-domain server's backlog is full: it may take the connection in a moment.
    if (errno != EAGAIN || Clock::now() + kFullBacklogRetry >= deadline) {
      break;
    }
    std::this_thread::sleep_for(kFullBacklogRetry);
  }
  if (SUCCEEDED(hr) && ::fcntl(fd, F_SETFL, flags) != 0) {
    hr = kHrDeviceNotConnected;
  }
  return hr;
}

}  // namespace hx::socket_posix
