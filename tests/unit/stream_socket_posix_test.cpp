// Reads of the virtual device link's socket while signals arrive: a handler installed without
// SA_RESTART interrupts a blocked read, which must carry on rather than end the link.

#include <pthread.h>
#include <signal.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/stream_socket.h"
#include "support/temp_file.h"

namespace hx {
namespace {

std::atomic<int> g_handled{0};

extern "C" void CountSignal(int) {
  g_handled.fetch_add(1);
}

// SIGUSR1 handled without SA_RESTART for the lifetime of the object.
class InterruptingSignal {
 public:
  InterruptingSignal() {
    struct sigaction action {};
    action.sa_handler = CountSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    ::sigaction(SIGUSR1, &action, &previous_);
  }
  ~InterruptingSignal() { ::sigaction(SIGUSR1, &previous_, nullptr); }
  InterruptingSignal(const InterruptingSignal&) = delete;
  InterruptingSignal& operator=(const InterruptingSignal&) = delete;

 private:
  struct sigaction previous_ {};
};

class InterruptedRead : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    const std::string path = (dir_.Path() / "link.sock").string();
    ASSERT_EQ(listener_.ListenUnix(path), S_OK);
    ASSERT_EQ(client_.ConnectUnix(path), S_OK);
    ASSERT_EQ(listener_.Accept(server_, {}), S_OK);
  }

  test::TempDir dir_;
  ListeningSocket listener_;
  StreamSocket client_;
  StreamSocket server_;
};

TEST_P(InterruptedRead, SignalsWhileBlockedDoNotEndTheRead) {
  const bool with_time_limit = GetParam();
  InterruptingSignal signal;
  g_handled = 0;
  std::array<std::uint8_t, 8> received{};
  HRESULT result = E_FAIL;
  std::thread reader([&] {
    result = with_time_limit ? server_.ReceiveExact(received, std::chrono::seconds(5))
                             : server_.ReceiveExact(received);
  });
  // Several signals, spaced out, so that at least one finds the read blocked.
  const auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  while (g_handled < 4 && std::chrono::steady_clock::now() - start < std::chrono::seconds(2)) {
    ::pthread_kill(reader.native_handle(), SIGUSR1);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const std::array<std::uint8_t, 8> sent = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(client_.SendAll(sent), S_OK);
  reader.join();
  EXPECT_GE(g_handled, 4);
  EXPECT_EQ(result, S_OK);
  EXPECT_EQ(received, sent);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutTimeLimit, InterruptedRead, ::testing::Bool());

}  // namespace
}  // namespace hx
