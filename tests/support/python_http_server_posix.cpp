#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/python_http_server.h"

extern char** environ;

namespace hx::test {
namespace {

using Clock = std::chrono::steady_clock;

// "Serving HTTP on 127.0.0.1 port 41057 (http://127.0.0.1:41057/) ..." gives 41057.
std::uint16_t PortOf(const std::string& line) {
  const std::string marker = " port ";
  const std::size_t at = line.find(marker);
  if (at == std::string::npos) {
    return 0;
  }
  const unsigned long port = std::stoul(line.substr(at + marker.size()));
  return port <= 0xFFFF ? static_cast<std::uint16_t>(port) : 0;
}

}  // namespace

PythonHttpServer::PythonHttpServer(const std::filesystem::path& directory) {
  int out[2] = {-1, -1};
  if (::pipe2(out, O_CLOEXEC) != 0) {
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  // The server logs each request on standard error.
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  // Unbuffered, so that the line naming the port comes at once through the pipe.
  std::vector<std::string> args = {"python3", "-u",        "-m",          "http.server",     "0",
                                   "--bind",  "127.0.0.1", "--directory", directory.string()};
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  if (::posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ) != 0) {
    pid_ = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  std::string line;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (pid_ > 0 && !line.ends_with('\n') && Clock::now() < deadline) {
    pollfd entry{out[0], POLLIN, 0};
    char c = 0;
    if (::poll(&entry, 1, 100) > 0 && ::read(out[0], &c, 1) != 1) {
      break;
    }
    if (c != 0) {
      line.push_back(c);
    }
  }
  ::close(out[0]);
  port_ = PortOf(line);
}

PythonHttpServer::~PythonHttpServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
}

}  // namespace hx::test
