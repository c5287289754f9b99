// How the status interrupt reaches the event: control events dequeued from the node, a timer
// where there are none, and a device that leaves.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "device/linux/status_watcher.h"
#include "linux/scripted_kernel.h"

namespace hx {
namespace {

using Clock = std::chrono::steady_clock;
using Mode = uvc::StatusWatcher::Mode;
using test::ScriptedKernel;

class StatusWatcherTest : public ::testing::Test {
 protected:
  StatusWatcherTest() {
    EXPECT_EQ(event_.Create(), S_OK);
    kernel_.AddNode("/dev/video0", {});
    node_ = kernel_.Open("/dev/video0", 0);
  }

  bool Signalled(std::uint32_t within_ms) {
    return event_.Wait(within_ms).outcome == WaitOutcome::kSignalled;
  }

  ScriptedKernel kernel_;
  CAutoResetEvent event_;
  int node_ = -1;
};

TEST_F(StatusWatcherTest, EachBatchOfControlEventsSignalsOnceAndNothingElseDoes) {
  uvc::StatusWatcher watcher(kernel_);
  ASSERT_EQ(watcher.Start(Mode::kControlEvents, node_, event_, std::chrono::milliseconds(20)),
            S_OK);
  EXPECT_FALSE(Signalled(100));
  kernel_.RaiseEvent();
  EXPECT_TRUE(Signalled(2000));
  // Every event is dequeued: a node left with events would stay ready and signal for ever.
  kernel_.RaiseEvent(3);
  EXPECT_TRUE(Signalled(2000));
  EXPECT_FALSE(Signalled(100));
  watcher.Stop();
  watcher.Stop();
  EXPECT_EQ(kernel_.OpenDescriptors(), 1);  // the node is its owner's to close
}

TEST_F(StatusWatcherTest, ADeviceThatLeavesSignalsOnceSoThatTheWaitingLoopMeetsTheFailure) {
  uvc::StatusWatcher watcher(kernel_);
  ASSERT_EQ(watcher.Start(Mode::kControlEvents, node_, event_, std::chrono::milliseconds(20)),
            S_OK);
  while (kernel_.Polls() == 0) {
    std::this_thread::yield();
  }
  kernel_.Unplug();
  EXPECT_TRUE(Signalled(2000));
  // The watcher has ended rather than spinning on a node that stays in error.
  const int polls = kernel_.Polls();
  EXPECT_FALSE(Signalled(100));
  EXPECT_EQ(kernel_.Polls(), polls);
}

TEST_F(StatusWatcherTest, TheTimerSignalsWithoutInterruptsAndStopsAtOnce) {
  uvc::StatusWatcher watcher(kernel_);
  ASSERT_EQ(watcher.Start(Mode::kTimer, node_, event_, std::chrono::milliseconds(20)), S_OK);
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(Signalled(1000));
  }
  watcher.Stop();

  // However long the interval, stopping does not wait for it.
  uvc::StatusWatcher slow(kernel_);
  ASSERT_EQ(slow.Start(Mode::kTimer, node_, event_, std::chrono::seconds(60)), S_OK);
  const auto started = Clock::now();
  slow.Stop();
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
}

}  // namespace
}  // namespace hx
