#pragma once
// Whether a download keeps up a least speed: a server that sends fewer bytes than that over a
// whole window of seconds trickles, or has gone silent, and is given up on as timed out.

#include <chrono>
#include <cstdint>
#include <deque>
#include <utility>

namespace hx::emu {

/// Threading: one thread, the fetching one.
class SpeedWatch {
 public:
  using Clock = std::chrono::steady_clock;

  /// A window of 0 seconds watches nothing.
  SpeedWatch(std::uint64_t least_bytes_per_second, std::uint32_t window_seconds);

  /// received: all bytes so far, at now (never earlier than the last call's). False once a
  /// whole window has passed in which fewer came than the least speed asks.
  bool KeptUp(Clock::time_point now, std::uint64_t received);

 private:
  std::uint64_t least_bytes_;
  Clock::duration window_;
  // (when, bytes by then), a tenth of a second apart at least: the first is the last at or
  // before the window's start.
  std::deque<std::pair<Clock::time_point, std::uint64_t>> samples_;
};

}  // namespace hx::emu
