#pragma once
// What the stream and listening sockets of the virtual device link share on POSIX.

#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/stream_socket.h"

namespace hx::socket_posix {

using Clock = std::chrono::steady_clock;

inline int Fd(std::intptr_t handle) {
  return static_cast<int>(handle);
}

/// Fills a Unix-domain address; false when path is empty or too long for it.
bool FillUnixAddress(const std::string& path, sockaddr_un& address);

/// Waits until fd is readable: S_OK, kHrTimeout at the deadline, kHrOperationAborted when stop
/// says so (asked every 50 ms), or kHrDeviceNotConnected when the wait itself fails.
HRESULT WaitReadable(int fd, std::optional<Clock::time_point> deadline, const StopCheck& stop);

/// Connects fd without ever blocking past deadline; the socket is blocking again afterwards.
/// S_OK, or kHrDeviceNotConnected.
HRESULT ConnectWithin(int fd, const sockaddr* address, socklen_t length,
                      Clock::time_point deadline);

}  // namespace hx::socket_posix
