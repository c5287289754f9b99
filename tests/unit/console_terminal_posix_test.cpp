// The console on a real pseudo-terminal. The hidden line is read in a child process whose
// standard input is the terminal: echo must be off while the operator types and back on
// afterwards, also when the read is ended by a signal.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/system_console.h"

namespace hx::platform {
namespace {

struct HiddenLineResult {
  HRESULT result = E_FAIL;
  std::size_t count = 0;
  std::array<wchar_t, 8> text{};
};

class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
      return;
    }
    slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
  }
  ~PseudoTerminal() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool Open() const { return slave_ >= 0; }
  int Master() const { return master_; }
  int Slave() const { return slave_; }

  bool EchoOn() const {
    termios settings{};
    ::tcgetattr(slave_, &settings);
    return (settings.c_lflag & ECHO) != 0;
  }

  /// Waits up to five seconds for echo to reach the wanted state.
  bool WaitForEcho(bool on) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (EchoOn() != on) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  /// What the terminal has shown the operator so far.
  std::string Shown() const {
    std::string shown;
    pollfd ready{master_, POLLIN, 0};
    char block[256];
    while (::poll(&ready, 1, 50) > 0 && (ready.revents & POLLIN) != 0) {
      const ssize_t got = ::read(master_, block, sizeof block);
      if (got <= 0) break;
      shown.append(block, static_cast<std::size_t>(got));
    }
    return shown;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
};

// Runs the hidden read in a child whose standard input is the terminal; the result comes back
// through a pipe. The child's ending signals have their default actions, whatever the test
// runner inherited, and a quit leaves no core file behind.
pid_t StartHiddenRead(const PseudoTerminal& terminal, int result_pipe) {
  const pid_t child = ::fork();
  if (child != 0) {
    return child;
  }
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    ::signal(signal_number, SIG_DFL);
  }
  const rlimit no_core{0, 0};
  ::setrlimit(RLIMIT_CORE, &no_core);
  std::setlocale(LC_ALL, "C.UTF-8");
  ::dup2(terminal.Slave(), STDIN_FILENO);
  HiddenLineResult read;
  read.result = SystemConsole().ReadHiddenLine(L"", read.text, read.count);
  const bool sent = ::write(result_pipe, &read, sizeof read) == sizeof read;
  ::_exit(sent ? 0 : 1);
}

class HiddenLine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(terminal_.Open());
    ASSERT_EQ(::pipe(pipe_ends_), 0);
    termios settings{};
    ::tcgetattr(terminal_.Slave(), &settings);
    settings.c_lflag |= ECHO | ICANON;
    ::tcsetattr(terminal_.Slave(), TCSANOW, &settings);
    child_ = StartHiddenRead(terminal_, pipe_ends_[1]);
    ::close(pipe_ends_[1]);
    ASSERT_TRUE(terminal_.WaitForEcho(false)) << "echo was never turned off";
  }
  void TearDown() override {
    if (child_ > 0) {
      ::kill(child_, SIGKILL);
      ::waitpid(child_, nullptr, 0);
    }
    ::close(pipe_ends_[0]);
  }

  int WaitForChild() {
    int status = 0;
    ::waitpid(child_, &status, 0);
    child_ = -1;
    return status;
  }

  // Types on the terminal and collects what the child read; a child that did not finish its
  // read normally fails the test.
  HiddenLineResult TypeAndCollect(const std::string& typed) {
    HiddenLineResult read;
    if (::write(terminal_.Master(), typed.data(), typed.size()) !=
        static_cast<ssize_t>(typed.size())) {
      ADD_FAILURE() << "could not type on the terminal";
      return read;
    }
    const int status = WaitForChild();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        ::read(pipe_ends_[0], &read, sizeof read) != static_cast<ssize_t>(sizeof read)) {
      ADD_FAILURE() << "the child did not finish its read";
    }
    return read;
  }

  void ExpectSignalEndsTheReadWithEchoBack(int signal_number) {
    ASSERT_EQ(::kill(child_, signal_number), 0);
    const int status = WaitForChild();
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), signal_number);
    EXPECT_TRUE(terminal_.EchoOn());
  }

  PseudoTerminal terminal_;
  int pipe_ends_[2] = {-1, -1};
  pid_t child_ = -1;
};

TEST_F(HiddenLine, TypedLineIsReadUnseenAndEchoComesBack) {
  const HiddenLineResult read = TypeAndCollect("Ab\xC3\xA9\n");  // "Abé" and Enter
  EXPECT_EQ(read.result, S_OK);
  EXPECT_EQ(std::wstring(read.text.data(), read.count), L"Ab\u00E9\r\n");
  EXPECT_TRUE(terminal_.EchoOn());
  EXPECT_EQ(terminal_.Shown(), "");
}

TEST_F(HiddenLine, LineLongerThanTheBufferIsCutWithoutItsLineEnd) {
  const HiddenLineResult read = TypeAndCollect("123456789\n");
  EXPECT_EQ(read.result, S_OK);
  EXPECT_EQ(std::wstring(read.text.data(), read.count), L"12345678");
  EXPECT_TRUE(terminal_.EchoOn());
}

TEST_F(HiddenLine, EndOfInputAtTheStartGivesNoCharacters) {
  const HiddenLineResult read = TypeAndCollect("\x04");  // the end-of-input key
  EXPECT_EQ(read.result, S_OK);
  EXPECT_EQ(read.count, 0u);
  EXPECT_TRUE(terminal_.EchoOn());
}

TEST_F(HiddenLine, InterruptDuringTheReadRestoresEchoAndEndsTheProcessBySignal) {
  ExpectSignalEndsTheReadWithEchoBack(SIGINT);
}

TEST_F(HiddenLine, TerminationDuringTheReadRestoresEchoToo) {
  ExpectSignalEndsTheReadWithEchoBack(SIGTERM);
}

TEST_F(HiddenLine, HangUpDuringTheReadRestoresEchoToo) {
  ExpectSignalEndsTheReadWithEchoBack(SIGHUP);
}

TEST_F(HiddenLine, QuitDuringTheReadRestoresEchoToo) {
  ExpectSignalEndsTheReadWithEchoBack(SIGQUIT);
}

// A signal can come at any moment of the prompt, while other threads of the run (the device
// link's reader, the status watcher) wait on the device and may be the ones the system hands it
// to: the run must end by it, with echo back on, every time.
TEST(HiddenLineStress, InterruptAtAnyMomentEndsTheReadWithEchoBack) {
  constexpr int kTries = 300;
  PseudoTerminal terminal;
  ASSERT_TRUE(terminal.Open());
  for (int attempt = 0; attempt < kTries; ++attempt) {
    termios settings{};
    ::tcgetattr(terminal.Slave(), &settings);
    settings.c_lflag |= ECHO | ICANON;
    ::tcsetattr(terminal.Slave(), TCSANOW, &settings);
    int waiting[2];
    ASSERT_EQ(::pipe(waiting), 0);
    const pid_t child = ::fork();
    if (child == 0) {
      for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        ::signal(signal_number, SIG_DFL);
      }
      ::dup2(terminal.Slave(), STDIN_FILENO);
      // A thread blocked in a read, as the link's reader is, and one that keeps a core busy.
      std::thread([fd = waiting[0]] {
        char byte;
        while (::read(fd, &byte, 1) != 0) {
        }
      }).detach();
      std::thread([] {
        for (std::atomic<unsigned> spin = 0;; spin.fetch_add(1, std::memory_order_relaxed)) {
        }
      }).detach();
      std::array<wchar_t, 8> text{};
      std::size_t count = 0;
      SystemConsole().ReadHiddenLine(L"", text, count);
      ::_exit(0);
    }
    ::close(waiting[0]);
    // From before the prompt is set up to well after.
    std::this_thread::sleep_for(std::chrono::microseconds(attempt % 50 * 40));
    ::kill(child, SIGINT);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (::waitpid(child, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const bool ended = ::waitpid(child, &status, WNOHANG) != 0 || WIFSIGNALED(status);
    if (!ended) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
    }
    ::close(waiting[1]);
    ASSERT_TRUE(ended) << "attempt " << attempt << ": the interrupt did not end the read";
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "attempt " << attempt;
    ASSERT_TRUE(terminal.EchoOn()) << "attempt " << attempt << ": echo was left off";
  }
}

TEST(TerminalOutput, InPlaceLineIsFollowedByTheMoveBackToItsStart) {
  PseudoTerminal terminal;
  ASSERT_TRUE(terminal.Open());
  termios settings{};
  ::tcgetattr(terminal.Slave(), &settings);
  settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);  // the bytes exactly as written
  ::tcsetattr(terminal.Slave(), TCSANOW, &settings);
  const int saved = ::dup(STDOUT_FILENO);
  ::dup2(terminal.Slave(), STDOUT_FILENO);
  SystemConsole().WriteNarrowInPlace("Block 1 of 2\r\n");
  SystemConsole().WriteNarrow("done\r\n");
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  EXPECT_EQ(terminal.Shown(), "Block 1 of 2\r\n\x1b[1A\rdone\r\n");
}

}  // namespace
}  // namespace hx::platform
