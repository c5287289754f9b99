#pragma once
// The BSD socket calls as Winsock declares them, for the sockets' code that both systems share
// (platform/socket_system.h). POSIX declares the same calls in headers of its own.

#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h, which it builds on.
#include <afunix.h>

#include <cstdint>

namespace hx::platform {

/// The system's own socket for one held as an integer.
inline SOCKET NativeSocket(std::intptr_t socket) {
  return static_cast<SOCKET>(socket);
}

}  // namespace hx::platform
