#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>

#include "platform/socket_common_posix.h"
#include "platform/stream_socket.h"

namespace hx {

using socket_posix::Clock;
using socket_posix::ConnectWithin;
using socket_posix::Fd;
using socket_posix::FillUnixAddress;
using socket_posix::WaitReadable;

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

HRESULT StreamSocket::ConnectUnix(const std::string& path, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  sockaddr_un address{};
  if (!FillUnixAddress(path, address)) {
    return kHrDeviceNotConnected;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return kHrDeviceNotConnected;
  }
  if (FAILED(ConnectWithin(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address),
                           deadline))) {
    ::close(fd);
    return kHrDeviceNotConnected;
  }
  Close();
  handle_ = fd;
  return S_OK;
}

HRESULT StreamSocket::ConnectTcp(const std::string& host, std::uint16_t port,
                                 std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
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
    if (fd >= 0 && FAILED(ConnectWithin(fd, entry->ai_addr, entry->ai_addrlen, deadline))) {
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

}  // namespace hx
