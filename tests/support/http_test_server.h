#pragma once
// A small HTTP/1.1 server for tests of the network update: it serves files from memory on
// 127.0.0.1 (GET and HEAD), one connection at a time, each closed after its answer, and can be
// told to break a transfer midway, to send it at a trickle or without its length, to redirect
// a request or to leave it unanswered.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/stream_socket.h"

namespace hx::test {

class HttpTestServer {
 public:
  /// Serves files (URL path, such as "/dir/manifest.txt", to contents) on a port the system
  /// chooses, until destroyed. Any other path is answered "404 Not Found".
  explicit HttpTestServer(std::map<std::string, std::vector<std::uint8_t>> files);
  ~HttpTestServer();
  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  bool Started() const { return started_; }
  std::uint16_t Port() const { return port_; }
  /// A GET for path is answered with its full length announced, but the connection is closed
  /// after half of the body. (A HEAD is answered as ever.)
  void BreakMidway(const std::string& path);
  /// A GET for path is answered with its full length announced, then its body at two bytes a
  /// second.
  void Trickle(const std::string& path);
  /// A GET for path is answered with its body alone, its end the connection's.
  void WithoutLength(const std::string& path);
  /// A request for path is answered "302 Found", pointing to location.
  void Redirect(const std::string& path, const std::string& location);
  /// A GET for path is read and never answered; the server takes no further connection until
  /// it is destroyed.
  void Hold(const std::string& path);
  /// The request lines received so far ("GET /dir/manifest.txt HTTP/1.1"), in order.
  std::vector<std::string> Requests() const;

 private:
  void Serve();
  void Answer(StreamSocket& client);
  void SendTrickle(StreamSocket& client, std::span<const std::uint8_t> body);
  bool Stopping() const { return stopping_.load(); }

  std::map<std::string, std::vector<std::uint8_t>> files_;
  ListeningSocket listener_;
  bool started_ = false;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_ = false;
  mutable std::mutex mutex_;
  std::condition_variable stop_cv_;
  std::set<std::string> broken_;
  std::set<std::string> trickled_;
  std::set<std::string> held_;
  std::set<std::string> unsized_;
  std::map<std::string, std::string> redirected_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

/// A TCP port on 127.0.0.1 where nothing listens: a connection to it is refused at once.
std::uint16_t UnusedTcpPort();

}  // namespace hx::test
