// The sockets' calls on POSIX. A signal that interrupts a call does not end it, and a peer
// that has gone gives a failure, never SIGPIPE.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/socket_system.h"

namespace hx::platform {
namespace {

// The few errno values a listening socket meets, as Windows error numbers. Failures of a
// connected stream all mean the device is gone and need no translation.
HRESULT HresultFromSocketErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return HresultFromError(kErrorAccessDenied);
    case EADDRINUSE:
      return HresultFromError(10048);  // WSAEADDRINUSE
    case EEXIST:
      return HresultFromError(kErrorAlreadyExists);
    case ENOENT:
      return HresultFromError(kErrorPathNotFound);
    case ENAMETOOLONG:
    case EINVAL:
      return E_INVALIDARG;
    default:
      return E_FAIL;
  }
}

int Poll(std::intptr_t socket, short events, int timeout_ms) {
  pollfd entry{NativeSocket(socket), events, 0};
  const int ready = ::poll(&entry, 1, timeout_ms);
  return ready < 0 && errno == EINTR ? 0 : ready;
}

}  // namespace

bool SocketsReady() {
  return true;
}

HRESULT LastSocketError() {
  return HresultFromSocketErrno(errno);
}

std::intptr_t OpenSocket(int family, int type, int protocol) {
  return ::socket(family, type | SOCK_CLOEXEC, protocol);
}

void CloseSocket(std::intptr_t socket) {
  ::close(NativeSocket(socket));
}

void ShutdownSocket(std::intptr_t socket) {
  ::shutdown(NativeSocket(socket), SHUT_RDWR);
}

bool SetBlocking(std::intptr_t socket, bool blocking) {
  const int flags = ::fcntl(NativeSocket(socket), F_GETFL);
  return flags >= 0 && ::fcntl(NativeSocket(socket), F_SETFL,
                               blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}

HRESULT StartConnect(std::intptr_t socket, const sockaddr* address, socklen_t length) {
  if (::connect(NativeSocket(socket), address, length) == 0) {
    return S_OK;
  }
  // Interrupted, the connect goes on by itself, as one in progress does.
  if (errno == EINPROGRESS || errno == EINTR) {
    return S_FALSE;
  }
  return errno == EAGAIN ? kHrBusy : kHrDeviceNotConnected;
}

int PollConnected(std::intptr_t socket, int timeout_ms) {
  return Poll(socket, POLLOUT, timeout_ms);
}

int PollReadable(std::intptr_t socket, int timeout_ms) {
  return Poll(socket, POLLIN, timeout_ms);
}

std::ptrdiff_t SendSome(std::intptr_t socket, std::span<const std::uint8_t> data) {
  for (;;) {
    const ssize_t sent = ::send(NativeSocket(socket), data.data(), data.size(), MSG_NOSIGNAL);
    if (sent >= 0 || errno != EINTR) {
      return sent;
    }
  }
}

std::ptrdiff_t ReceiveSome(std::intptr_t socket, std::span<std::uint8_t> data) {
  for (;;) {
    const ssize_t received = ::recv(NativeSocket(socket), data.data(), data.size(), 0);
    if (received >= 0 || errno != EINTR) {
      return received;
    }
  }
}

// A server that restarts binds its port again while the last one's connections wind down; no
// other socket may bind a port that one listens on all the same.
void ReservePort(std::intptr_t socket) {
  const int on = 1;
  ::setsockopt(NativeSocket(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
}

HRESULT AcceptClient(std::intptr_t listener, std::intptr_t& client) {
  client = ::accept4(NativeSocket(listener), nullptr, nullptr, SOCK_CLOEXEC);
  if (client >= 0 || errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) {
    return S_OK;
  }
  return LastSocketError();
}

SocketPath ExamineSocketPath(const std::string& path, const sockaddr_un& address) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) {
    return SocketPath::kNotASocket;
  }
  const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  const bool refused =
      probe >= 0 &&
      ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 &&
      errno == ECONNREFUSED;
  if (probe >= 0) {
    ::close(probe);
  }
  return refused ? SocketPath::kAbandoned : SocketPath::kServed;
}

HRESULT RemoveSocketPath(const std::string& path) {
  return ::unlink(path.c_str()) == 0 ? S_OK : LastSocketError();
}

}  // namespace hx::platform
