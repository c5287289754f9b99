#pragma once
// Runs programs for end-to-end tests (POSIX): one run to completion with its output captured,
// or an hx7300-emulator kept in the background for the length of a test.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace hx::test {

struct ProcessRun {
  std::vector<std::string> argv{};                       ///< argv[0] is the program's path
  std::map<std::string, std::string> set_environment{};  ///< added or replaced
  std::vector<std::string> unset_environment{};          ///< removed
  std::string stdin_bytes{};                             ///< then standard input is closed
  /// Where standard output goes: captured, into the file at stdout_path, or into a pipe whose
  /// reading end is closed before the program starts.
  enum class Output { kCaptured, kFile, kClosedPipe } stdout_to = Output::kCaptured;
  std::string stdout_path{};                 ///< for Output::kFile
  std::chrono::milliseconds timeout{20000};  ///< then the program is killed
};

struct ProcessResult {
  bool started = false;    ///< false: the program could not be run at all
  bool timed_out = false;  ///< killed at the time limit
  int exit_status = -1;    ///< the exit status, or -1 when it ended by a signal
  int signal = 0;          ///< the signal that ended it, if any
  std::string stdout_bytes;
  std::string stderr_bytes;
};

/// Runs a program to its end (or its time limit), feeding stdin and capturing both outputs.
ProcessResult RunProcess(const ProcessRun& run);

/// A memory figure of a running process as /proc gives it ("VmRSS", "VmHWM", ...), in KiB;
/// -1 when it cannot be read.
long MemoryKib(pid_t pid, const std::string& field);

/// An hx7300-emulator listening on a fresh Unix socket in its own temporary directory (or on a
/// loopback TCP port the system chooses), from construction until Stop or destruction.
class EmulatorProcess {
 public:
  enum class Transport { kUnix, kTcp };

  /// Starts binary (the path of hx7300-emulator) with --listen and extra_args and waits for
  /// its "listening" line. Started() tells whether that line came. The socket is socket_path
  /// when one is given, else device.sock in the emulator's own temporary directory; with
  /// Transport::kTcp it listens on a loopback port instead. A launcher, when given, is the
  /// program that runs binary (Wine's, for the Windows build).
  explicit EmulatorProcess(const std::string& binary, std::vector<std::string> extra_args = {},
                           const std::string& socket_path = {},
                           Transport transport = Transport::kUnix,
                           const std::string& launcher = "");
  ~EmulatorProcess();
  EmulatorProcess(const EmulatorProcess&) = delete;
  EmulatorProcess& operator=(const EmulatorProcess&) = delete;

  bool Started() const { return started_; }
  pid_t Pid() const { return pid_; }
  /// The value for HX7300_DEVICE: "unix:<socket path>" or "tcp:127.0.0.1:<port>".
  const std::string& Address() const { return address_; }
  const std::string& SocketPath() const { return socket_path_; }
  /// The line it printed when it began listening.
  const std::string& ListeningLine() const { return listening_line_; }
  /// Waits until what it has written on standard error contains text; false at the time
  /// limit. What it writes there is kept aside, and passed on to this process's standard error
  /// when it is stopped.
  bool WaitForError(const std::string& text, std::chrono::milliseconds limit) const;
  /// What it has written to standard error so far.
  std::string StandardError() const;
  /// Sends SIGTERM and waits (killing it after 5 s); returns its ProcessResult-style exit
  /// status (-1 when it ended by a signal). Later calls return the same.
  int Stop();

 private:
  pid_t pid_ = -1;
  int stdout_fd_ = -1;
  bool started_ = false;
  int exit_status_ = -1;
  std::string directory_;
  std::string error_path_;
  std::string socket_path_;
  std::string address_;
  std::string listening_line_;
};

}  // namespace hx::test
