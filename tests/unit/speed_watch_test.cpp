// The least speed a download is held to: bytes seen at times, and when the watch gives up.

#include "http/speed_watch.h"

#include <gtest/gtest.h>

#include <vector>

namespace hx::emu {
namespace {

using namespace std::chrono_literals;

struct Seen {
  std::chrono::milliseconds at;
  std::uint64_t received;
};

struct Case {
  const char* name;
  std::uint32_t window_seconds;
  std::vector<Seen> seen;
  std::size_t first_refused;  // index into seen; seen.size(): none
};

TEST(SpeedWatch, GivesUpOnceAWholeWindowHasTooFewBytes) {
  // At least 1000 bytes a second, over 2 s: 2000 bytes in any whole window.
  const Case cases[] = {
      {"silent", 2, {{0ms, 0}, {1000ms, 0}, {1999ms, 0}, {2000ms, 0}}, 3},
      {"too few in the first window", 2, {{0ms, 0}, {1000ms, 1500}, {2000ms, 1999}}, 2},
      {"enough in every window", 2, {{0ms, 0}, {1000ms, 1000}, {2000ms, 2000}, {3000ms, 3000}}, 4},
      {"a stall after a burst", 2, {{0ms, 0}, {100ms, 9000}, {2000ms, 9000}, {2100ms, 9000}}, 3},
      {"a long window forgives a pause", 30, {{0ms, 0}, {29000ms, 0}, {29500ms, 40000}}, 3},
      {"no window watches nothing", 0, {{0ms, 0}, {60000ms, 0}}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SpeedWatch watch(1000, c.window_seconds);
    const SpeedWatch::Clock::time_point start{};
    std::size_t refused = c.seen.size();
    for (std::size_t i = 0; i < c.seen.size() && refused == c.seen.size(); ++i) {
      if (!watch.KeptUp(start + c.seen[i].at, c.seen[i].received)) {
        refused = i;
      }
    }
    EXPECT_EQ(refused, c.first_refused);
  }
}

}  // namespace
}  // namespace hx::emu
