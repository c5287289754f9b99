// The sockets' calls on Winsock. A listening socket's failures keep Winsock's own error
// numbers, which are Windows error numbers with system texts of their own.
#include "platform/socket_system.h"

#include <climits>

namespace hx::platform {
namespace {

std::intptr_t Stored(SOCKET socket) {
  return socket == INVALID_SOCKET ? -1 : static_cast<std::intptr_t>(socket);
}

int Length(std::size_t size) {
  return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}

}  // namespace

// Winsock is started once for the process and left running until it ends.
bool SocketsReady() {
  static const bool ready = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ready;
}

HRESULT LastSocketError() {
  return HresultFromError(::WSAGetLastError());
}

std::intptr_t OpenSocket(int family, int type, int protocol) {
  return Stored(::socket(family, type, protocol));
}

void CloseSocket(std::intptr_t socket) {
  ::closesocket(NativeSocket(socket));
}

void ShutdownSocket(std::intptr_t socket) {
  ::shutdown(NativeSocket(socket), SD_BOTH);
}

bool SetBlocking(std::intptr_t socket, bool blocking) {
  u_long non_blocking = blocking ? 0 : 1;
  return ::ioctlsocket(NativeSocket(socket), FIONBIO, &non_blocking) == 0;
}

HRESULT StartConnect(std::intptr_t socket, const sockaddr* address, socklen_t length) {
  if (::connect(NativeSocket(socket), address, length) == 0) {
    return S_OK;
  }
  return ::WSAGetLastError() == WSAEWOULDBLOCK ? S_FALSE : kHrDeviceNotConnected;
}

// Waited on with select, for writability (connected) or an exception (refused): WSAPoll of
// older systems never reports a refused connect, and would wait out the whole time.
int PollConnected(std::intptr_t socket, int timeout_ms) {
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(NativeSocket(socket), &writable);
  FD_SET(NativeSocket(socket), &failed);
  timeval wait{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  return ::select(0, nullptr, &writable, &failed, &wait);
}

int PollReadable(std::intptr_t socket, int timeout_ms) {
  WSAPOLLFD entry{NativeSocket(socket), POLLRDNORM, 0};
  return ::WSAPoll(&entry, 1, timeout_ms);
}

std::ptrdiff_t SendSome(std::intptr_t socket, std::span<const std::uint8_t> data) {
  return ::send(NativeSocket(socket), reinterpret_cast<const char*>(data.data()),
                Length(data.size()), 0);
}

std::ptrdiff_t ReceiveSome(std::intptr_t socket, std::span<std::uint8_t> data) {
  return ::recv(NativeSocket(socket), reinterpret_cast<char*>(data.data()), Length(data.size()), 0);
}

// Unlike POSIX SO_REUSEADDR, Windows' would let another program take the port over; this
// keeps it ours alone.
void ReservePort(std::intptr_t socket) {
  const BOOL on = TRUE;
  ::setsockopt(NativeSocket(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
               reinterpret_cast<const char*>(&on), sizeof(on));
}

HRESULT AcceptClient(std::intptr_t listener, std::intptr_t& client) {
  client = Stored(::accept(NativeSocket(listener), nullptr, nullptr));
  if (client >= 0) {
    return S_OK;
  }
  const int error = ::WSAGetLastError();
  return error == WSAECONNRESET || error == WSAEWOULDBLOCK || error == WSAEINTR
             ? S_OK
             : HresultFromError(error);
}

// Winsock keeps a Unix socket as a reparse point. Whether a server answers there is asked
// with a connect of its own.
SocketPath ExamineSocketPath(const std::string& path, const sockaddr_un& /*address*/) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return SocketPath::kNotASocket;
  }
  StreamSocket probe;
  return SUCCEEDED(probe.ConnectUnix(path, std::chrono::seconds(1))) ? SocketPath::kServed
                                                                     : SocketPath::kAbandoned;
}

HRESULT RemoveSocketPath(const std::string& path) {
  return ::DeleteFileA(path.c_str()) ? S_OK : HresultFromError(::GetLastError());
}

}  // namespace hx::platform
