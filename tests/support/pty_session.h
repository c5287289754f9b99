#pragma once
// Runs a program on a pseudo-terminal, as a person at a terminal would: the test reads what it
// prints, types at its prompts, and can look at the terminal's echo setting meanwhile. Output
// post-processing is off on the terminal, so the bytes read are exactly the bytes written.

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace hx::test {

class PtySession {
 public:
  /// Where the program's standard output and error go: the terminal, or a pipe that the
  /// session reads (standard input stays the terminal), so that the bytes read are the bytes
  /// the program wrote even when a console layer between it and the terminal adds its own.
  enum class OutputTo { kTerminal, kPipe };

  /// Starts argv[0] with the given environment additions on a new pseudo-terminal. With
  /// output_stopped the terminal has flow control on and its output stopped (as after Ctrl+S)
  /// before the program starts: the program's first write blocks until ResumeOutput.
  PtySession(const std::vector<std::string>& argv,
             const std::vector<std::pair<std::string, std::string>>& environment,
             bool output_stopped = false, OutputTo output = OutputTo::kTerminal);
  ~PtySession();
  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  /// Reads until the output so far ends with `text` or the time is up; returns whether it did.
  bool WaitForOutput(const std::string& text,
                     std::chrono::milliseconds limit = std::chrono::seconds(10));
  /// Types bytes at the terminal.
  void Type(const std::string& bytes);
  /// Lets output flow again after it was stopped (as Ctrl+Q does).
  void ResumeOutput();
  /// Whether the terminal currently echoes what is typed.
  bool EchoOn() const;
  /// Waits until the terminal's echo is in the given state (the prompt comes just before the
  /// program turns echo off); returns whether it got there in time.
  bool WaitForEcho(bool on, std::chrono::milliseconds limit = std::chrono::seconds(5)) const;
  /// Reads the rest of the output and waits for the program to end; returns its exit status
  /// (128 + signal number when a signal ended it), or -1 when it did not end in time.
  int Finish(std::chrono::milliseconds limit = std::chrono::seconds(20));
  const std::string& Output() const { return output_; }
  /// With OutputTo::kPipe: what appeared on the terminal itself (echo, console control bytes).
  const std::string& TerminalOutput() const { return terminal_output_; }

 private:
  bool ReadSome(std::chrono::milliseconds limit);
  void DrainTerminal();

  int master_ = -1;
  int pipe_ = -1;  // read end of the output pipe, with Output::kPipe
  std::string terminal_output_;
  int slave_ = -1;
  int pid_ = -1;
  std::string output_;
};

}  // namespace hx::test
