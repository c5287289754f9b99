#pragma once
// A byte stream to or from a peer (Unix-domain or TCP), for the virtual device link. Failures
// to connect give 0x8007048F (device not connected), also when the peer does not take the
// connection within the time allowed; an orderly end of the stream gives 0x80070026 (end of
// file); a time-out 0x800705B4.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "platform/hresult.h"

namespace hx {

/// Asked now and then while a socket waits; true ends the wait with kHrOperationAborted.
using StopCheck = std::function<bool()>;

/// 0x800703E3: a wait ended by a stop request.
inline constexpr HRESULT kHrOperationAborted = HresultFromError(995);

class StreamSocket {
 public:
  StreamSocket() = default;
  ~StreamSocket();
  StreamSocket(StreamSocket&& other) noexcept;
  StreamSocket& operator=(StreamSocket&& other) noexcept;
  StreamSocket(const StreamSocket&) = delete;
  StreamSocket& operator=(const StreamSocket&) = delete;

  /// Connects to a Unix-domain stream socket at path. The connect itself never blocks beyond
  /// limit: a server whose backlog is full is tried again until then, and then given up.
  HRESULT ConnectUnix(const std::string& path,
                      std::chrono::milliseconds limit = std::chrono::seconds(5));
  /// Connects to host (a name or a numeric address) and port over TCP, giving up after limit
  /// (a server that does not answer the connection, a full backlog, a lost network).
  HRESULT ConnectTcp(const std::string& host, std::uint16_t port,
                     std::chrono::milliseconds limit = std::chrono::seconds(5));

  /// Sends every byte. Safe against a concurrent ReceiveExact on another thread.
  HRESULT SendAll(std::span<const std::uint8_t> data);
  /// Receives exactly data.size() bytes, waiting at most timeout (none: no limit) and ending
  /// early when stop says so.
  HRESULT ReceiveExact(std::span<std::uint8_t> data,
                       std::optional<std::chrono::milliseconds> timeout = std::nullopt,
                       const StopCheck& stop = {});
  /// Ends both directions; a receive blocked on another thread returns. The socket stays
  /// allocated until Close.
  void Shutdown();
  void Close();
  bool IsOpen() const { return handle_ >= 0; }

 private:
  friend class ListeningSocket;
  explicit StreamSocket(std::intptr_t handle) : handle_(handle) {}
  std::intptr_t handle_ = -1;
};

class ListeningSocket {
 public:
  ListeningSocket() = default;
  ~ListeningSocket();
  ListeningSocket(const ListeningSocket&) = delete;
  ListeningSocket& operator=(const ListeningSocket&) = delete;

  /// Binds and listens at a Unix-domain socket path; the file is removed by Close. The backlog
  /// is the system's largest, so that clients wait in it only as long as the accept loop takes.
  /// A socket left at the path by a server that has gone (nobody answers on it) is replaced;
  /// one that a server answers on gives 0x80072740 (address in use), and anything else at
  /// the path 0x800700B7 (already exists), left as it is.
  HRESULT ListenUnix(const std::string& path);
  /// Binds and listens on a numeric host address and port (0: the system chooses), with the
  /// system's largest backlog. A port another socket listens on gives 0x80072740.
  HRESULT ListenTcp(const std::string& host, std::uint16_t port);
  /// The port actually bound (TCP).
  std::uint16_t Port() const { return port_; }
  /// Waits for the next client; ends with kHrOperationAborted when stop says so.
  HRESULT Accept(StreamSocket& client, const StopCheck& stop);
  void Close();

 private:
  std::intptr_t handle_ = -1;
  std::uint16_t port_ = 0;
  std::string unix_path_;
};

}  // namespace hx
