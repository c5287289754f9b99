#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/stream_socket.h"

namespace hx {
namespace {

// How often a wait that can be stopped asks whether it should end.
constexpr int kStopPollMs = 50;

// The few errno values a listening socket meets, as Windows error numbers. Failures of a
// connected stream all mean the device is gone and need no translation.
HRESULT HresultFromSocketErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return HresultFromError(kErrorAccessDenied);
    case EADDRINUSE:
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

int Fd(std::intptr_t handle) {
  return static_cast<int>(handle);
}

bool FillUnixAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof(address));
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(address.sun_path)) {
    return false;
  }
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

// Waits until fd is readable. S_OK when readable, kHrTimeout, kHrOperationAborted, or
// kHrDeviceNotConnected when poll itself fails.
HRESULT WaitReadable(int fd, std::optional<std::chrono::steady_clock::time_point> deadline,
                     const StopCheck& stop) {
  for (;;) {
    int wait_ms = -1;
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(
          *deadline - std::chrono::steady_clock::now());
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

}  // namespace

StreamSocket::~StreamSocket() {
  Close();
}

StreamSocket::StreamSocket(StreamSocket&& other) noexcept : handle_(other.handle_) {
  other.handle_ = -1;
}

StreamSocket& StreamSocket::operator=(StreamSocket&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

HRESULT StreamSocket::ConnectUnix(const std::string& path) {
  sockaddr_un address{};
  if (!FillUnixAddress(path, address)) {
    return kHrDeviceNotConnected;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return kHrDeviceNotConnected;
  }
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    ::close(fd);
    return kHrDeviceNotConnected;
  }
  Close();
  handle_ = fd;
  return S_OK;
}

HRESULT StreamSocket::ConnectTcp(const std::string& host, std::uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) {
    return kHrDeviceNotConnected;
  }
  int fd = -1;
  for (addrinfo* entry = found; entry != nullptr && fd < 0; entry = entry->ai_next) {
    fd = ::socket(entry->ai_family, entry->ai_socktype | SOCK_CLOEXEC, entry->ai_protocol);
    if (fd >= 0 && ::connect(fd, entry->ai_addr, entry->ai_addrlen) != 0) {
      ::close(fd);
      fd = -1;
    }
  }
  ::freeaddrinfo(found);
  if (fd < 0) {
    return kHrDeviceNotConnected;
  }
  // Frames are small and answered one by one; waiting to coalesce them only adds latency.
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
  Close();
  handle_ = fd;
  return S_OK;
}

HRESULT StreamSocket::SendAll(std::span<const std::uint8_t> data) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    // MSG_NOSIGNAL: a peer that has gone must give a result, not SIGPIPE.
    const ssize_t n = ::send(Fd(handle_), data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return kHrDeviceNotConnected;
    }
    sent += static_cast<std::size_t>(n);
  }
  return S_OK;
}

HRESULT StreamSocket::ReceiveExact(std::span<std::uint8_t> data,
                                   std::optional<std::chrono::milliseconds> timeout,
                                   const StopCheck& stop) {
  std::optional<std::chrono::steady_clock::time_point> deadline;
  if (timeout) {
    deadline = std::chrono::steady_clock::now() + *timeout;
  }
  std::size_t received = 0;
  while (received < data.size()) {
    if (deadline || stop) {
      const HRESULT hr = WaitReadable(Fd(handle_), deadline, stop);
      if (FAILED(hr)) {
        return hr;
      }
    }
    const ssize_t n = ::recv(Fd(handle_), data.data() + received, data.size() - received, 0);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n == 0) {
      return kHrEndOfFile;
    }
    if (n < 0) {
      return kHrDeviceNotConnected;
    }
    received += static_cast<std::size_t>(n);
  }
  return S_OK;
}

void StreamSocket::Shutdown() {
  if (handle_ >= 0) {
    ::shutdown(Fd(handle_), SHUT_RDWR);
  }
}

void StreamSocket::Close() {
  if (handle_ >= 0) {
    ::close(Fd(handle_));
    handle_ = -1;
  }
}

ListeningSocket::~ListeningSocket() {
  Close();
}

HRESULT ListeningSocket::ListenUnix(const std::string& path) {
  sockaddr_un address{};
  if (!FillUnixAddress(path, address)) {
    return E_INVALIDARG;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return HresultFromSocketErrno(errno);
  }
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(fd, 4) != 0) {
    const int error = errno;
    ::close(fd);
    return HresultFromSocketErrno(error);
  }
  handle_ = fd;
  unix_path_ = path;
  return S_OK;
}

HRESULT ListeningSocket::ListenTcp(const std::string& host, std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
    return E_INVALIDARG;
  }
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return HresultFromSocketErrno(errno);
  }
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  socklen_t length = sizeof(address);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(fd, 4) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const int error = errno;
    ::close(fd);
    return HresultFromSocketErrno(error);
  }
  handle_ = fd;
  port_ = ntohs(address.sin_port);
  return S_OK;
}

HRESULT ListeningSocket::Accept(StreamSocket& client, const StopCheck& stop) {
  for (;;) {
    const HRESULT hr = WaitReadable(Fd(handle_), std::nullopt, stop);
    if (FAILED(hr)) {
      return hr;
    }
    const int fd = ::accept4(Fd(handle_), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
      const int on = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
      client = StreamSocket(fd);
      return S_OK;
    }
    if (errno != EINTR && errno != ECONNABORTED && errno != EAGAIN) {
      return HresultFromSocketErrno(errno);
    }
  }
}

void ListeningSocket::Close() {
  if (handle_ >= 0) {
    ::close(Fd(handle_));
    handle_ = -1;
  }
  if (!unix_path_.empty()) {
    ::unlink(unix_path_.c_str());
    unix_path_.clear();
  }
}

}  // namespace hx
