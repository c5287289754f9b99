#pragma once
// Connections served each on a thread of its own, so that a peer that is slow or silent
// delays nobody else, and at most a fixed number at once, so that peers cannot make the
// server start threads without end.
//
// Threading: Start and the destructor are called from one thread, the one that accepts.

#include <atomic>
#include <cstddef>
#include <functional>
#include <list>
#include <thread>

#include "platform/stream_socket.h"

namespace hx::emu {

class ConnectionThreads {
 public:
  explicit ConnectionThreads(std::size_t limit) : limit_(limit) {}
  /// Joins every thread: whatever serve uses must outlive this object.
  ~ConnectionThreads();
  ConnectionThreads(const ConnectionThreads&) = delete;
  ConnectionThreads& operator=(const ConnectionThreads&) = delete;

  using Serve = std::function<void(StreamSocket& connection)>;

  /// Moves connection to a thread of its own that runs serve on it, then closes it. False,
  /// with connection left to the caller, when limit connections are still being served.
  bool Start(StreamSocket& connection, const Serve& serve);

 private:
  struct Worker {
    std::atomic<bool> finished{false};
    std::thread thread;
  };

  void JoinFinished();

  std::size_t limit_;
  std::list<Worker> workers_;  // a list, so that each thread's flag stays where it is
};

}  // namespace hx::emu
