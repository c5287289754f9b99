// The wait for an event or a thread's end, which the network update's handler runs after each
// step: whichever comes first ends it, the event counting when both have come.

#include <gtest/gtest.h>

#include <atomic>

#include "platform/auto_reset_event.h"
#include "platform/thread.h"

namespace hx {
namespace {

TEST(EventOrThreadWait, EventCountsOverAThreadThatHasAlsoEnded) {
  CAutoResetEvent event;
  CAutoResetEvent unused;
  ASSERT_EQ(event.Create(), S_OK);
  ASSERT_EQ(unused.Create(), S_OK);
  CThread thread;
  ASSERT_EQ(thread.Start([&] { event.Set(); }), S_OK);
  // Waiting on another event sees the end alone; then both the signal and the end hold.
  ASSERT_EQ(WaitForEventOrThreadEnd(unused, thread).outcome, EventOrEnd::kEnded);
  EXPECT_EQ(WaitForEventOrThreadEnd(event, thread).outcome, EventOrEnd::kEvent);
  // The signal was consumed: only the end is left.
  EXPECT_EQ(WaitForEventOrThreadEnd(event, thread).outcome, EventOrEnd::kEnded);
  EXPECT_EQ(event.Wait(0).outcome, WaitOutcome::kTimedOut);
}

TEST(EventOrThreadWait, SignalsOfARunningThreadComeOneByOneAndThenItsEnd) {
  CAutoResetEvent event;
  CAutoResetEvent proceed;
  ASSERT_EQ(event.Create(), S_OK);
  ASSERT_EQ(proceed.Create(), S_OK);
  std::atomic<int> steps = 0;
  CThread thread;
  ASSERT_EQ(thread.Start([&] {
    for (int i = 0; i < 3; ++i) {
      steps.store(i + 1);
      event.Set();
      proceed.Wait(std::nullopt);
    }
  }),
            S_OK);
  for (int i = 1; i <= 3; ++i) {
    const EventOrEndResult wait = WaitForEventOrThreadEnd(event, thread);
    EXPECT_EQ(wait.outcome, EventOrEnd::kEvent);
    EXPECT_EQ(wait.error, S_OK);
    EXPECT_EQ(steps.load(), i);
    proceed.Set();
  }
  // The thread ends without a further signal: its end alone must wake the waiter.
  EXPECT_EQ(WaitForEventOrThreadEnd(event, thread).outcome, EventOrEnd::kEnded);
  thread.Join();
}

TEST(EventOrThreadWait, ThreadNeverStartedOrJoinedAlreadyCountsAsEnded) {
  CAutoResetEvent event;
  ASSERT_EQ(event.Create(), S_OK);
  CThread never_started;
  EXPECT_EQ(WaitForEventOrThreadEnd(event, never_started).outcome, EventOrEnd::kEnded);
  CThread joined;
  ASSERT_EQ(joined.Start([] {}), S_OK);
  joined.Join();
  EXPECT_EQ(WaitForEventOrThreadEnd(event, joined).outcome, EventOrEnd::kEnded);
  event.Set();
  EXPECT_EQ(WaitForEventOrThreadEnd(event, joined).outcome, EventOrEnd::kEvent);
}

}  // namespace
}  // namespace hx
