#include "support/pty_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace hx::test {

namespace {

constexpr char kStopOutput = 0x13;
constexpr char kStartOutput = 0x11;

// The terminal handles typed characters a moment after they are typed: probes with a
// non-blocking write until output refuses to flow, discarding the probes that got through.
bool WaitUntilOutputStopped(int master, int slave) {
  const int flags = ::fcntl(slave, F_GETFL);
  ::fcntl(slave, F_SETFL, flags | O_NONBLOCK);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  bool stopped = false;
  while (!stopped && std::chrono::steady_clock::now() < deadline) {
    stopped = ::write(slave, "", 1) < 0 && errno == EAGAIN;
    char discarded[16];
    struct pollfd ready {
      master, POLLIN, 0
    };
    while (poll(&ready, 1, 0) > 0 && ::read(master, discarded, sizeof discarded) > 0) {
    }
  }
  ::fcntl(slave, F_SETFL, flags);
  return stopped;
}

}  // namespace

PtySession::PtySession(const std::vector<std::string>& argv,
                       const std::vector<std::pair<std::string, std::string>>& environment,
                       bool output_stopped, OutputTo output) {
  struct termios settings {};
  cfmakeraw(&settings);
  settings.c_lflag |= ICANON | ECHO | ISIG | ECHOE | ECHOK;
  settings.c_iflag |= ICRNL;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VINTR] = 0x03;
  settings.c_cc[VEOF] = 0x04;
  settings.c_cc[VSTOP] = kStopOutput;
  settings.c_cc[VSTART] = kStartOutput;
  if (output_stopped) {
    settings.c_iflag |= IXON;
  }
  if (openpty(&master_, &slave_, nullptr, &settings, nullptr) != 0) {
    return;
  }
  if (output_stopped) {
    Type(std::string(1, kStopOutput));
    if (!WaitUntilOutputStopped(master_, slave_)) {
      return;
    }
  }
  int pipe_ends[2] = {-1, -1};
  if (output == OutputTo::kPipe && pipe2(pipe_ends, O_CLOEXEC) != 0) {
    return;
  }
  pid_ = fork();
  if (pid_ == 0) {
    ::close(master_);
    setsid();
    ioctl(slave_, TIOCSCTTY, 0);
    dup2(slave_, 0);
    dup2(output == OutputTo::kPipe ? pipe_ends[1] : slave_, 1);
    dup2(output == OutputTo::kPipe ? pipe_ends[1] : slave_, 2);
    if (slave_ > 2) {
      ::close(slave_);
    }
    for (const auto& [name, value] : environment) {
      setenv(name.c_str(), value.c_str(), 1);
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) {
      args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  if (output == OutputTo::kPipe) {
    ::close(pipe_ends[1]);
    pipe_ = pipe_ends[0];
  }
}

PtySession::~PtySession() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) {
    ::close(master_);
  }
  if (pipe_ >= 0) {
    ::close(pipe_);
  }
  if (slave_ >= 0) {
    ::close(slave_);
  }
}

void PtySession::DrainTerminal() {
  struct pollfd ready {
    master_, POLLIN, 0
  };
  char buffer[4096];
  while (poll(&ready, 1, 0) > 0) {
    const ssize_t got = ::read(master_, buffer, sizeof buffer);
    if (got <= 0) {
      return;
    }
    terminal_output_.append(buffer, static_cast<std::size_t>(got));
  }
}

bool PtySession::ReadSome(std::chrono::milliseconds limit) {
  const int source = pipe_ >= 0 ? pipe_ : master_;
  if (pipe_ >= 0) {
    DrainTerminal();
  }
  struct pollfd ready {
    source, POLLIN, 0
  };
  if (poll(&ready, 1, static_cast<int>(limit.count())) <= 0) {
    return false;
  }
  char buffer[4096];
  const ssize_t got = ::read(source, buffer, sizeof buffer);
  if (got <= 0) {
    return false;  // EIO once the program has closed the terminal
  }
  output_.append(buffer, static_cast<std::size_t>(got));
  return true;
}

bool PtySession::WaitForOutput(const std::string& text, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!output_.ends_with(text)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !ReadSome(left)) {
      return output_.ends_with(text);
    }
  }
  return true;
}

void PtySession::Type(const std::string& bytes) {
  const ssize_t written = ::write(master_, bytes.data(), bytes.size());
  (void)written;
}

void PtySession::ResumeOutput() {
  Type(std::string(1, kStartOutput));
}

bool PtySession::EchoOn() const {
  struct termios settings {};
  tcgetattr(slave_, &settings);
  return (settings.c_lflag & ECHO) != 0;
}

bool PtySession::WaitForEcho(bool on, std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (EchoOn() != on) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    usleep(1000);
  }
  return true;
}

int PtySession::Finish(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      while (ReadSome(std::chrono::milliseconds(50))) {
      }
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return -1;
    }
    ReadSome(std::chrono::milliseconds(20));
  }
}

}  // namespace hx::test
