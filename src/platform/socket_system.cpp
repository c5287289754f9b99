// What the stream and the listening socket share on every system, on the per-system calls.
#include <cstring>

#include "platform/socket_system.h"

namespace hx::platform {
namespace {

// How often a wait that can be stopped asks whether it should end.
constexpr int kStopPollMs = 50;

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

HRESULT WaitReadable(std::intptr_t socket, std::optional<SocketClock::time_point> deadline,
                     const StopCheck& stop) {
  for (;;) {
    int wait_ms = -1;
    if (deadline) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(*deadline - SocketClock::now());
      if (left.count() <= 0) {
        return kHrTimeout;
      }
      wait_ms = static_cast<int>(left.count());
    }
    if (stop && (wait_ms < 0 || wait_ms > kStopPollMs)) {
      wait_ms = kStopPollMs;
    }
    const int ready = PollReadable(socket, wait_ms);
    if (ready > 0) {
      return S_OK;
    }
    if (ready < 0) {
      return kHrDeviceNotConnected;
    }
    if (stop && stop()) {
      return kHrOperationAborted;
    }
  }
}

void SetNoDelay(std::intptr_t socket) {
  const int on = 1;
  ::setsockopt(NativeSocket(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
               sizeof(on));
}

}  // namespace hx::platform
