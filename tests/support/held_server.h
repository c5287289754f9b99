#pragma once
// A server that has stopped taking connections: it listens with the smallest backlog, never
// accepts, and its backlog is filled, so that a client's connect gets no answer.

#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_file.h"

namespace hx::test {

class HeldServer {
 public:
  enum class Kind { kUnix, kTcp };
  explicit HeldServer(Kind kind);
  ~HeldServer();
  HeldServer(const HeldServer&) = delete;
  HeldServer& operator=(const HeldServer&) = delete;

  /// True when the server listens and its backlog is full.
  bool Held() const { return held_; }
  /// The value for HX7300_DEVICE: "unix:<path>" or "tcp:127.0.0.1:<port>".
  const std::string& Address() const { return address_; }
  const std::string& SocketPath() const { return path_; }
  std::uint16_t Port() const { return port_; }

 private:
  bool FillBacklog(const void* address, unsigned length, int family);

  TempDir dir_;
  int listener_ = -1;
  std::vector<int> waiting_;
  std::string path_;
  std::uint16_t port_ = 0;
  std::string address_;
  bool held_ = false;
};

}  // namespace hx::test
