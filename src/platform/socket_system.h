#pragma once
// The calls beneath the virtual device link's sockets (stream_socket.h). The first part is
// what Winsock and POSIX sockets do differently, one file per system; the rest is built on it
// once, for the stream and the listening socket alike. A socket is held as an integer, -1 for
// none; failures are Windows error numbers on every system.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/hresult.h"
#include "platform/stream_socket.h"
#include "socket_api.h"

namespace hx::platform {

/// Readies the system's sockets, once for the process; false when they cannot be used.
bool SocketsReady();
/// The failure of the socket call just made on this thread.
HRESULT LastSocketError();

/// A new socket, not inherited by programs this one starts; -1 when none can be made.
std::intptr_t OpenSocket(int family, int type, int protocol);
void CloseSocket(std::intptr_t socket);
/// Ends both directions; a receive blocked on another thread returns.
void ShutdownSocket(std::intptr_t socket);
/// Makes socket's calls block or return at once; false when it cannot.
bool SetBlocking(std::intptr_t socket, bool blocking);

/// Starts connecting a non-blocking socket: S_OK when it is connected at once, S_FALSE while
/// the connect goes on by itself, kHrBusy when a Unix-domain server's backlog is full (it may
/// take the connection in a moment), kHrDeviceNotConnected otherwise.
HRESULT StartConnect(std::intptr_t socket, const sockaddr* address, socklen_t length);
/// Waits up to timeout_ms for a connect in progress to end, connected or refused: > 0 when it
/// has, 0 when the time ran out or a signal came first, < 0 when the wait itself fails.
int PollConnected(std::intptr_t socket, int timeout_ms);
/// Waits up to timeout_ms (-1: no limit) for socket to have something to read: > 0 when it
/// has, 0 when the time ran out or a signal came first, < 0 when the wait itself fails.
int PollReadable(std::intptr_t socket, int timeout_ms);

/// Sends what the system takes of data, never raising a signal for a peer that has gone: how
/// many bytes, or -1 on failure. A signal that interrupts the send does not end it.
std::ptrdiff_t SendSome(std::intptr_t socket, std::span<const std::uint8_t> data);
/// Receives what has come, up to data.size() bytes: how many, 0 at an orderly end of the
/// stream, -1 on failure. A signal that interrupts the receive does not end it.
std::ptrdiff_t ReceiveSome(std::intptr_t socket, std::span<std::uint8_t> data);

/// Sets what a socket is bound to a TCP port with: the port is the server's alone while it
/// listens, and free again at once for a server that restarts.
void ReservePort(std::intptr_t socket);
/// Takes the next client of a listening socket: S_OK with client set, or with client left -1
/// when the client went before it was taken (wait for the next); otherwise the failure.
HRESULT AcceptClient(std::intptr_t listener, std::intptr_t& client);

/// What stands at a Unix-domain socket path that cannot be bound: a socket that nobody answers
/// on is what a server that was killed leaves behind.
enum class SocketPath { kNotASocket, kServed, kAbandoned };
SocketPath ExamineSocketPath(const std::string& path, const sockaddr_un& address);
/// Removes the socket at path: S_OK, or the failure.
HRESULT RemoveSocketPath(const std::string& path);

// Built once on the calls above (socket_system.cpp).

using SocketClock = std::chrono::steady_clock;

/// Fills a Unix-domain address; false when path is empty or too long for it.
bool FillUnixAddress(const std::string& path, sockaddr_un& address);
/// Waits until socket has something to read: S_OK, kHrTimeout at the deadline,
/// kHrOperationAborted when stop says so (asked every 50 ms), or kHrDeviceNotConnected when the
/// wait itself fails.
HRESULT WaitReadable(std::intptr_t socket, std::optional<SocketClock::time_point> deadline,
                     const StopCheck& stop);
/// Sends each frame as it is written: frames are small and answered one by one, and waiting to
/// coalesce them only adds latency.
void SetNoDelay(std::intptr_t socket);

}  // namespace hx::platform
