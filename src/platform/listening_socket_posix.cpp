#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>

#include "platform/socket_common_posix.h"
#include "platform/stream_socket.h"

namespace hx {
namespace {

using socket_posix::Fd;
using socket_posix::FillUnixAddress;
using socket_posix::WaitReadable;

// WSAEADDRINUSE: what Windows gives for an address another socket listens on.
constexpr std::uint32_t kErrorAddressInUse = 10048;

// The few errno values a listening socket meets, as Windows error numbers. Failures of a
// connected stream all mean the device is gone and need no translation.
HRESULT HresultFromSocketErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return HresultFromError(kErrorAccessDenied);
    case EADDRINUSE:
      return HresultFromError(kErrorAddressInUse);
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

enum class ExistingPath { kNotASocket, kServed, kAbandoned };

// What stands at a Unix-domain socket path that cannot be bound: a socket that nobody answers
// on is what a server that was killed leaves behind.
ExistingPath Examine(const std::string& path, const sockaddr_un& address) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) {
    return ExistingPath::kNotASocket;
  }
  const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  const bool refused =
      probe >= 0 &&
      ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 &&
      errno == ECONNREFUSED;
  if (probe >= 0) {
    ::close(probe);
  }
  return refused ? ExistingPath::kAbandoned : ExistingPath::kServed;
}

// Binds fd to the path, replacing an abandoned socket there; the errno of the failure, or 0.
int BindUnix(int fd, const std::string& path, const sockaddr_un& address) {
  const auto bind = [&] {
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 ? 0
                                                                                         : errno;
  };
  const int error = bind();
  if (error != EADDRINUSE) {
    return error;
  }
  switch (Examine(path, address)) {
    case ExistingPath::kAbandoned:
      return ::unlink(path.c_str()) == 0 ? bind() : errno;
    case ExistingPath::kNotASocket:
      return EEXIST;
    case ExistingPath::kServed:
      break;
  }
  return EADDRINUSE;
}

}  // namespace

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
  int error = BindUnix(fd, path, address);
  if (error == 0 && ::listen(fd, SOMAXCONN) != 0) {
    error = errno;
  }
  if (error != 0) {
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
      ::listen(fd, SOMAXCONN) != 0 ||
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
