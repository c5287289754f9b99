#include "platform/socket_system.h"
#include "platform/stream_socket.h"

namespace hx {
namespace {

// What Windows gives for an address another socket listens on (WSAEADDRINUSE).
constexpr HRESULT kHrAddressInUse = HresultFromError(10048);

// Binds socket to the path, replacing a socket there that nobody answers on.
HRESULT BindUnix(std::intptr_t socket, const std::string& path, const sockaddr_un& address) {
  const auto bind = [&] {
    return ::bind(platform::NativeSocket(socket), reinterpret_cast<const sockaddr*>(&address),
                  sizeof(address)) == 0
               ? S_OK
               : platform::LastSocketError();
  };
  const HRESULT hr = bind();
  if (hr != kHrAddressInUse) {
    return hr;
  }
  switch (platform::ExamineSocketPath(path, address)) {
    case platform::SocketPath::kAbandoned: {
      const HRESULT removed = platform::RemoveSocketPath(path);
      return FAILED(removed) ? removed : bind();
    }
    case platform::SocketPath::kNotASocket:
      return HresultFromError(kErrorAlreadyExists);
    case platform::SocketPath::kServed:
      break;
  }
  return hr;
}

// A new socket to listen on: S_OK, or why none can be made.
HRESULT OpenToListen(int family, std::intptr_t& socket) {
  if (!platform::SocketsReady()) {
    return kHrDeviceNotReady;
  }
  socket = platform::OpenSocket(family, SOCK_STREAM, 0);
  return socket < 0 ? platform::LastSocketError() : S_OK;
}

}  // namespace

ListeningSocket::~ListeningSocket() {
  Close();
}

HRESULT ListeningSocket::ListenUnix(const std::string& path) {
  sockaddr_un address{};
  if (!platform::FillUnixAddress(path, address)) {
    return E_INVALIDARG;
  }
  std::intptr_t socket = -1;
  HRESULT hr = OpenToListen(AF_UNIX, socket);
  if (FAILED(hr)) {
    return hr;
  }
  hr = BindUnix(socket, path, address);
  if (SUCCEEDED(hr) && ::listen(platform::NativeSocket(socket), SOMAXCONN) != 0) {
    hr = platform::LastSocketError();
  }
  if (FAILED(hr)) {
    platform::CloseSocket(socket);
    return hr;
  }
  handle_ = socket;
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
  std::intptr_t socket = -1;
  if (const HRESULT hr = OpenToListen(AF_INET, socket); FAILED(hr)) {
    return hr;
  }
  platform::ReservePort(socket);
  socklen_t length = sizeof(address);
  if (::bind(platform::NativeSocket(socket), reinterpret_cast<const sockaddr*>(&address),
             sizeof(address)) != 0 ||
      ::listen(platform::NativeSocket(socket), SOMAXCONN) != 0 ||
      ::getsockname(platform::NativeSocket(socket), reinterpret_cast<sockaddr*>(&address),
                    &length) != 0) {
    const HRESULT hr = platform::LastSocketError();
    platform::CloseSocket(socket);
    return hr;
  }
  handle_ = socket;
  port_ = ntohs(address.sin_port);
  return S_OK;
}

HRESULT ListeningSocket::Accept(StreamSocket& client, const StopCheck& stop) {
  for (;;) {
    HRESULT hr = platform::WaitReadable(handle_, std::nullopt, stop);
    if (FAILED(hr)) {
      return hr;
    }
    std::intptr_t accepted = -1;
    hr = platform::AcceptClient(handle_, accepted);
    if (FAILED(hr)) {
      return hr;
    }
    if (accepted >= 0) {
      platform::SetNoDelay(accepted);
      client = StreamSocket(accepted);
      return S_OK;
    }
  }
}

void ListeningSocket::Close() {
  if (handle_ >= 0) {
    platform::CloseSocket(handle_);
    handle_ = -1;
  }
  if (!unix_path_.empty()) {
    platform::RemoveSocketPath(unix_path_);
    unix_path_.clear();
  }
}

}  // namespace hx
