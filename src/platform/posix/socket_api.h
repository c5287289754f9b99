#pragma once
// The BSD socket calls as POSIX declares them, for the sockets' code that both systems share
// (platform/socket_system.h). Winsock declares the same calls in headers of its own.

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstdint>

namespace hx::platform {

/// The system's own socket for one held as an integer.
inline int NativeSocket(std::intptr_t socket) {
  return static_cast<int>(socket);
}

}  // namespace hx::platform
