#include "platform/stream_socket.h"

#include <thread>

#include "platform/socket_system.h"

namespace hx {
namespace {

using platform::SocketClock;

// How long a connect waits before trying a Unix-domain server with a full backlog again.
constexpr auto kFullBacklogRetry = std::chrono::milliseconds(20);

// Waits until a connect in progress has ended; S_OK when it connected.
HRESULT FinishConnect(std::intptr_t socket, SocketClock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SocketClock::now());
    if (left.count() <= 0) {
      return kHrDeviceNotConnected;
    }
    const int ready = platform::PollConnected(socket, static_cast<int>(left.count()));
    if (ready > 0) {
      break;
    }
    if (ready < 0) {
      return kHrDeviceNotConnected;
    }
  }
  int error = 0;
  socklen_t length = sizeof(error);
  if (::getsockopt(platform::NativeSocket(socket), SOL_SOCKET, SO_ERROR,
                   reinterpret_cast<char*>(&error), &length) != 0 ||
      error != 0) {
    return kHrDeviceNotConnected;
  }
  return S_OK;
}

// A blocking connect waits as long as the system likes for a server that does not take the
// connection (a full backlog, a lost network), so the connect is made non-blocking; the
// socket blocks again once connected. S_OK, or kHrDeviceNotConnected.
HRESULT ConnectWithin(std::intptr_t socket, const sockaddr* address, socklen_t length,
                      SocketClock::time_point deadline) {
  if (!platform::SetBlocking(socket, false)) {
    return kHrDeviceNotConnected;
  }
  HRESULT hr = platform::StartConnect(socket, address, length);
  while (hr == kHrBusy && SocketClock::now() + kFullBacklogRetry < deadline) {
    std::this_thread::sleep_for(kFullBacklogRetry);
    hr = platform::StartConnect(socket, address, length);
  }
  if (hr == S_FALSE) {
    hr = FinishConnect(socket, deadline);
  }
  if (FAILED(hr) || !platform::SetBlocking(socket, true)) {
    return kHrDeviceNotConnected;
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

// Where the system offers no Unix-domain sockets (Windows before 10 1803), the socket cannot
// be made and the device counts as not connected.
HRESULT StreamSocket::ConnectUnix(const std::string& path, std::chrono::milliseconds limit) {
  const auto deadline = SocketClock::now() + limit;
  sockaddr_un address{};
  if (!platform::SocketsReady() || !platform::FillUnixAddress(path, address)) {
    return kHrDeviceNotConnected;
  }
  const std::intptr_t socket = platform::OpenSocket(AF_UNIX, SOCK_STREAM, 0);
  if (socket < 0) {
    return kHrDeviceNotConnected;
  }
  if (FAILED(ConnectWithin(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address),
                           deadline))) {
    platform::CloseSocket(socket);
    return kHrDeviceNotConnected;
  }
  Close();
  handle_ = socket;
  return S_OK;
}

HRESULT StreamSocket::ConnectTcp(const std::string& host, std::uint16_t port,
                                 std::chrono::milliseconds limit) {
  const auto deadline = SocketClock::now() + limit;
  if (!platform::SocketsReady()) {
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
  std::intptr_t socket = -1;
  for (addrinfo* entry = found; entry != nullptr && socket < 0; entry = entry->ai_next) {
    socket = platform::OpenSocket(entry->ai_family, entry->ai_socktype, entry->ai_protocol);
    if (socket >= 0 && FAILED(ConnectWithin(socket, entry->ai_addr,
                                            static_cast<socklen_t>(entry->ai_addrlen), deadline))) {
      platform::CloseSocket(socket);
      socket = -1;
    }
  }
  ::freeaddrinfo(found);
  if (socket < 0) {
    return kHrDeviceNotConnected;
  }
  platform::SetNoDelay(socket);
  Close();
  handle_ = socket;
  return S_OK;
}

HRESULT StreamSocket::SendAll(std::span<const std::uint8_t> data) {
  while (!data.empty()) {
    const std::ptrdiff_t sent = platform::SendSome(handle_, data);
    if (sent <= 0) {
      return kHrDeviceNotConnected;
    }
    data = data.subspan(static_cast<std::size_t>(sent));
  }
  return S_OK;
}

HRESULT StreamSocket::ReceiveExact(std::span<std::uint8_t> data,
                                   std::optional<std::chrono::milliseconds> timeout,
                                   const StopCheck& stop) {
  std::optional<SocketClock::time_point> deadline;
  if (timeout) {
    deadline = SocketClock::now() + *timeout;
  }
  while (!data.empty()) {
    if (deadline || stop) {
      const HRESULT hr = platform::WaitReadable(handle_, deadline, stop);
      if (FAILED(hr)) {
        return hr;
      }
    }
    const std::ptrdiff_t received = platform::ReceiveSome(handle_, data);
    if (received == 0) {
      return kHrEndOfFile;
    }
    if (received < 0) {
      return kHrDeviceNotConnected;
    }
    data = data.subspan(static_cast<std::size_t>(received));
  }
  return S_OK;
}

void StreamSocket::Shutdown() {
  if (handle_ >= 0) {
    platform::ShutdownSocket(handle_);
  }
}

void StreamSocket::Close() {
  if (handle_ >= 0) {
    platform::CloseSocket(handle_);
    handle_ = -1;
  }
}

}  // namespace hx
