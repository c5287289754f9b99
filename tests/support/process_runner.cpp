#include "support/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace hx::test {
namespace {

using Clock = std::chrono::steady_clock;

struct Pipe {
  int read_end = -1;
  int write_end = -1;
  bool Open() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
      return false;
    }
    read_end = fds[0];
    write_end = fds[1];
    return true;
  }
};

void CloseFd(int& fd) {
  if (fd >= 0) {
    ::close(fd);
    fd = -1;
  }
}

std::vector<std::string> Environment(const ProcessRun& run) {
  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text(*entry);
    const std::size_t equals = text.find('=');
    merged[text.substr(0, equals)] = equals == std::string::npos ? "" : text.substr(equals + 1);
  }
  for (const std::string& name : run.unset_environment) {
    merged.erase(name);
  }
  for (const auto& [name, value] : run.set_environment) {
    merged[name] = value;
  }
  std::vector<std::string> environment;
  for (const auto& [name, value] : merged) {
    environment.push_back(name + "=" + value);
  }
  return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) {
    pointers.push_back(text.data());
  }
  pointers.push_back(nullptr);
  return pointers;
}

// Starts argv[0] with the given pipe ends as its standard streams (-1: inherited). The program
// gets the default action for SIGPIPE, as from a shell, whatever this process does with it.
pid_t Spawn(std::vector<std::string> argv, std::vector<std::string> environment, int in, int out,
            int err) {
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const int targets[] = {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO};
  const int sources[] = {in, out, err};
  for (int i = 0; i < 3; ++i) {
    if (sources[i] >= 0) {
      posix_spawn_file_actions_adddup2(&actions, sources[i], targets[i]);
    }
  }
  std::vector<char*> args = Pointers(argv);
  std::vector<char*> env = Pointers(environment);
  pid_t pid = -1;
  if (argv.empty() ||
      ::posix_spawn(&pid, args[0], &actions, &attributes, args.data(), env.data()) != 0) {
    pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return pid;
}

std::string ErrorText(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

void RecordExit(int status, ProcessResult& result) {
  if (WIFEXITED(status)) {
    result.exit_status = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
  }
}

// Moves bytes between the child's pipes until both outputs end or the deadline passes.
bool Pump(const ProcessRun& run, int& in, int& out, int& err, ProcessResult& result) {
  const auto deadline = Clock::now() + run.timeout;
  std::size_t written = 0;
  while (out >= 0 || err >= 0) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      return false;
    }
    pollfd fds[3] = {{out, POLLIN, 0}, {err, POLLIN, 0}, {in, POLLOUT, 0}};
    if (::poll(fds, 3, static_cast<int>(left.count())) < 0 && errno != EINTR) {
      return false;
    }
    char buffer[4096];
    int* const readers[] = {&out, &err};
    std::string* const sinks[] = {&result.stdout_bytes, &result.stderr_bytes};
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) continue;
      const ssize_t n = ::read(*readers[i], buffer, sizeof(buffer));
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        CloseFd(*readers[i]);
      }
    }
    if (fds[2].revents != 0) {
      const ssize_t n =
          ::write(in, run.stdin_bytes.data() + written, run.stdin_bytes.size() - written);
      written += n > 0 ? static_cast<std::size_t>(n) : 0;
      if (n < 0 || written == run.stdin_bytes.size()) {
        CloseFd(in);
      }
    }
  }
  return true;
}

}  // namespace

ProcessResult RunProcess(const ProcessRun& run) {
  // A program that ends without reading its input must not take the test with it.
  ::signal(SIGPIPE, SIG_IGN);
  ProcessResult result;
  Pipe in, out, err;
  if (!in.Open() || !out.Open() || !err.Open()) {
    return result;
  }
  if (run.stdout_to == ProcessRun::Output::kFile) {
    CloseFd(out.write_end);
    out.write_end = ::open(run.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  }
  if (run.stdout_to != ProcessRun::Output::kCaptured) {
    CloseFd(out.read_end);
  }
  const pid_t pid = Spawn(run.argv, Environment(run), in.read_end, out.write_end, err.write_end);
  CloseFd(in.read_end);
  CloseFd(out.write_end);
  CloseFd(err.write_end);
  if (run.stdin_bytes.empty()) {
    CloseFd(in.write_end);
  } else {
    ::fcntl(in.write_end, F_SETFL, O_NONBLOCK);
  }
  result.started = pid > 0;
  const bool finished =
      result.started && Pump(run, in.write_end, out.read_end, err.read_end, result);
  CloseFd(in.write_end);
  CloseFd(out.read_end);
  CloseFd(err.read_end);
  if (!result.started) {
    return result;
  }
  if (!finished) {
    result.timed_out = true;
    ::kill(pid, SIGKILL);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  RecordExit(status, result);
  return result;
}

long MemoryKib(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with(field + ":")) {
      return std::stol(line.substr(field.size() + 1));
    }
  }
  return -1;
}

EmulatorProcess::EmulatorProcess(const std::string& binary, std::vector<std::string> extra_args,
                                 const std::string& socket_path, Transport transport,
                                 const std::string& launcher) {
  std::string pattern = (std::filesystem::temp_directory_path() / "hx7300-emu-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    return;
  }
  directory_ = pattern;
  socket_path_ = socket_path.empty() ? directory_ + "/device.sock" : socket_path;
  address_ = "unix:" + socket_path_;
  std::vector<std::string> argv = {binary, "--listen",
                                   transport == Transport::kTcp ? "tcp:127.0.0.1:0" : address_};
  argv.insert(argv.end(), extra_args.begin(), extra_args.end());
  if (!launcher.empty()) {
    argv.insert(argv.begin(), launcher);
  }
  Pipe out;
  if (!out.Open()) {
    return;
  }
  error_path_ = directory_ + "/stderr";
  int err = ::open(error_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ProcessRun run;
  pid_ = Spawn(argv, Environment(run), -1, out.write_end, err);
  CloseFd(out.write_end);
  CloseFd(err);
  stdout_fd_ = out.read_end;
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (pid_ > 0 && !listening_line_.ends_with('\n') && Clock::now() < deadline) {
    pollfd entry{stdout_fd_, POLLIN, 0};
    char c = 0;
    if (::poll(&entry, 1, 100) > 0 && ::read(stdout_fd_, &c, 1) != 1) {
      break;
    }
    if (c != 0) {
      listening_line_.push_back(c);
    }
  }
  started_ = listening_line_.find("listening") != std::string::npos;
  // "hx7300-emulator listening on <address>": the chosen port is known only from here.
  const std::size_t on = listening_line_.rfind(" on ");
  if (started_ && transport == Transport::kTcp && on != std::string::npos) {
    address_ = listening_line_.substr(on + 4);
    while (!address_.empty() && (address_.back() == '\n' || address_.back() == '\r')) {
      address_.pop_back();
    }
  }
}

std::string EmulatorProcess::StandardError() const {
  return ErrorText(error_path_);
}

int EmulatorProcess::Stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ProcessResult result;
    int status = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (Clock::now() > deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    RecordExit(status, result);
    exit_status_ = result.exit_status;
    pid_ = -1;
    std::fputs(ErrorText(error_path_).c_str(), stderr);
  }
  CloseFd(stdout_fd_);
  return exit_status_;
}

bool EmulatorProcess::WaitForError(const std::string& text, std::chrono::milliseconds limit) const {
  const auto deadline = Clock::now() + limit;
  while (StandardError().find(text) == std::string::npos) {
    if (Clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

EmulatorProcess::~EmulatorProcess() {
  Stop();
  if (!directory_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }
}

}  // namespace hx::test
