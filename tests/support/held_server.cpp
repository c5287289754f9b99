#include "support/held_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace hx::test {
namespace {

constexpr int kMostWaiting = 16;

}  // namespace

HeldServer::HeldServer(Kind kind) {
  const int family = kind == Kind::kUnix ? AF_UNIX : AF_INET;
  listener_ = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (kind == Kind::kUnix) {
    path_ = (dir_.Path() / "held.sock").string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path_.c_str(), sizeof(address.sun_path) - 1);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::listen(listener_, 0) == 0) {
      address_ = "unix:" + path_;
      held_ = FillBacklog(&address, sizeof(address), family);
    }
    return;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      ::listen(listener_, 0) == 0 &&
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port_ = ntohs(address.sin_port);
    address_ = "tcp:127.0.0.1:" + std::to_string(port_);
    held_ = FillBacklog(&address, sizeof(address), family);
  }
}

// Connects without waiting until a connect is refused for want of room (a Unix-domain
// socket) or left unanswered (TCP drops the handshake once its queue is full).
bool HeldServer::FillBacklog(const void* address, unsigned length, int family) {
  for (int i = 0; i < kMostWaiting; ++i) {
    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    waiting_.push_back(fd);
    if (::connect(fd, static_cast<const sockaddr*>(address), length) == 0 || errno == EINPROGRESS) {
      continue;
    }
    return errno == EAGAIN;
  }
  // TCP: give the handshakes a moment to fill the queue; the rest stay unanswered.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return family == AF_INET;
}

HeldServer::~HeldServer() {
  for (const int fd : waiting_) {
    ::close(fd);
  }
  if (listener_ >= 0) {
    ::close(listener_);
  }
}

}  // namespace hx::test
