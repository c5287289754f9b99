// Winsock realisation of the virtual device link's sockets. Failures of a connected stream all
// mean the device is gone; a listening socket's failures keep Winsock's own error numbers,
// which are Windows error numbers with system texts of their own.
#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h, which it builds on.
#include <afunix.h>

#include <cstring>

#include "platform/stream_socket.h"

namespace hx {
namespace {

// How often a wait that can be stopped asks whether it should end.
constexpr int kStopPollMs = 50;

// Winsock is started once for the process and left running until it ends.
bool WinsockReady() {
  static const bool ready = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ready;
}

SOCKET Sock(std::intptr_t handle) {
  return static_cast<SOCKET>(handle);
}

std::intptr_t Handle(SOCKET socket) {
  return socket == INVALID_SOCKET ? -1 : static_cast<std::intptr_t>(socket);
}

HRESULT LastSocketError() {
  return HresultFromError(::WSAGetLastError());
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

// Connects without ever blocking past limit: the socket is made non-blocking for the connect
// and waited on for writability (success) or an exception (refusal), then made blocking again.
bool ConnectWithin(SOCKET socket, const sockaddr* address, int length,
                   std::chrono::milliseconds limit) {
  u_long non_blocking = 1;
  if (::ioctlsocket(socket, FIONBIO, &non_blocking) != 0) {
    return false;
  }
  bool connected = ::connect(socket, address, length) == 0;
  if (!connected && ::WSAGetLastError() == WSAEWOULDBLOCK) {
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket, &writable);
    FD_SET(socket, &failed);
    const auto ms = limit.count();
    timeval wait{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
    connected =
        ::select(0, nullptr, &writable, &failed, &wait) == 1 && FD_ISSET(socket, &writable) != 0;
  }
  u_long blocking = 0;
  return connected && ::ioctlsocket(socket, FIONBIO, &blocking) == 0;
}

void SetNoDelay(SOCKET socket) {
  // Frames are small and answered one by one; waiting to coalesce them only adds latency.
  const BOOL on = TRUE;
  ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof(on));
}

// Waits until socket is readable. S_OK when readable, kHrTimeout, kHrOperationAborted, or
// kHrDeviceNotConnected when the wait itself fails.
HRESULT WaitReadable(SOCKET socket, std::optional<std::chrono::steady_clock::time_point> deadline,
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
    WSAPOLLFD entry{socket, POLLRDNORM, 0};
    const int ready = ::WSAPoll(&entry, 1, wait_ms);
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

HRESULT BindUnix(SOCKET socket, const sockaddr_un& address) {
  if (::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    return LastSocketError();
  }
  return S_OK;
}

// A socket left at the path by a server that has gone (nobody answers on it) is removed;
// one that a server answers on is in use, and anything but a socket is left as it is. Winsock
// keeps a Unix socket as a reparse point.
HRESULT ReplaceStaleSocket(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return HresultFromError(kErrorAlreadyExists);
  }
  StreamSocket probe;
  if (SUCCEEDED(probe.ConnectUnix(path, std::chrono::seconds(1)))) {
    return HresultFromError(WSAEADDRINUSE);
  }
  if (!::DeleteFileA(path.c_str())) {
    return HresultFromError(::GetLastError());
  }
  return S_OK;
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

// Winsock offers Unix-domain sockets from Windows 10 1803 on; where it does not, the socket
// cannot be made and the device counts as not connected.
HRESULT StreamSocket::ConnectUnix(const std::string& path, std::chrono::milliseconds limit) {
  sockaddr_un address{};
  if (!WinsockReady() || !FillUnixAddress(path, address)) {
    return kHrDeviceNotConnected;
  }
  const SOCKET socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (socket == INVALID_SOCKET) {
    return kHrDeviceNotConnected;
  }
  if (!ConnectWithin(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address), limit)) {
    ::closesocket(socket);
    return kHrDeviceNotConnected;
  }
  Close();
  handle_ = Handle(socket);
  return S_OK;
}

HRESULT StreamSocket::ConnectTcp(const std::string& host, std::uint16_t port,
                                 std::chrono::milliseconds limit) {
  if (!WinsockReady()) {
    return kHrDeviceNotConnected;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) {
    return kHrDeviceNotConnected;
  }
  SOCKET socket = INVALID_SOCKET;
  for (addrinfo* entry = found; entry != nullptr && socket == INVALID_SOCKET;
       entry = entry->ai_next) {
    socket = ::socket(entry->ai_family, entry->ai_socktype, entry->ai_protocol);
    if (socket != INVALID_SOCKET &&
        !ConnectWithin(socket, entry->ai_addr, static_cast<int>(entry->ai_addrlen), limit)) {
      ::closesocket(socket);
      socket = INVALID_SOCKET;
    }
  }
  ::freeaddrinfo(found);
  if (socket == INVALID_SOCKET) {
    return kHrDeviceNotConnected;
  }
  SetNoDelay(socket);
  Close();
  handle_ = Handle(socket);
  return S_OK;
}

HRESULT StreamSocket::SendAll(std::span<const std::uint8_t> data) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    const int n = ::send(Sock(handle_), reinterpret_cast<const char*>(data.data() + sent),
                         static_cast<int>(data.size() - sent), 0);
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
      const HRESULT hr = WaitReadable(Sock(handle_), deadline, stop);
      if (FAILED(hr)) {
        return hr;
      }
    }
    const int n = ::recv(Sock(handle_), reinterpret_cast<char*>(data.data() + received),
                         static_cast<int>(data.size() - received), 0);
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
    ::shutdown(Sock(handle_), SD_BOTH);
  }
}

void StreamSocket::Close() {
  if (handle_ >= 0) {
    ::closesocket(Sock(handle_));
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
  if (!WinsockReady()) {
    return HresultFromError(kErrorNotReady);
  }
  const SOCKET socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (socket == INVALID_SOCKET) {
    return LastSocketError();
  }
  HRESULT hr = BindUnix(socket, address);
  if (hr == HresultFromError(WSAEADDRINUSE)) {
    hr = ReplaceStaleSocket(path);
    if (SUCCEEDED(hr)) {
      hr = BindUnix(socket, address);
    }
  }
  if (SUCCEEDED(hr) && ::listen(socket, SOMAXCONN) != 0) {
    hr = LastSocketError();
  }
  if (FAILED(hr)) {
    ::closesocket(socket);
    return hr;
  }
  handle_ = Handle(socket);
  unix_path_ = path;
  return S_OK;
}

HRESULT ListeningSocket::ListenTcp(const std::string& host, std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(port);
  if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
    return E_INVALIDARG;
  }
  if (!WinsockReady()) {
    return HresultFromError(kErrorNotReady);
  }
  const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, 0);
  if (socket == INVALID_SOCKET) {
    return LastSocketError();
  }
  // Unlike POSIX SO_REUSEADDR, Windows' would let another program take the port over; this
  // keeps it ours alone.
  const BOOL on = TRUE;
  ::setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
               sizeof(on));
  int length = sizeof(address);
  if (::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(socket, SOMAXCONN) != 0 ||
      ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const HRESULT hr = LastSocketError();
    ::closesocket(socket);
    return hr;
  }
  handle_ = Handle(socket);
  port_ = ::ntohs(address.sin_port);
  return S_OK;
}

HRESULT ListeningSocket::Accept(StreamSocket& client, const StopCheck& stop) {
  for (;;) {
    const HRESULT hr = WaitReadable(Sock(handle_), std::nullopt, stop);
    if (FAILED(hr)) {
      return hr;
    }
    const SOCKET accepted = ::accept(Sock(handle_), nullptr, nullptr);
    if (accepted != INVALID_SOCKET) {
      SetNoDelay(accepted);
      client = StreamSocket(Handle(accepted));
      return S_OK;
    }
    const int error = ::WSAGetLastError();
    if (error != WSAECONNRESET && error != WSAEWOULDBLOCK && error != WSAEINTR) {
      return HresultFromError(error);
    }
  }
}

void ListeningSocket::Close() {
  if (handle_ >= 0) {
    ::closesocket(Sock(handle_));
    handle_ = -1;
  }
  if (!unix_path_.empty()) {
    ::DeleteFileA(unix_path_.c_str());
    unix_path_.clear();
  }
}

}  // namespace hx
