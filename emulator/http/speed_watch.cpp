#include "http/speed_watch.h"

namespace hx::emu {
namespace {

// Samples closer than this add nothing to a window of seconds, and would only grow the list.
constexpr auto kSampleSpacing = std::chrono::milliseconds(100);

}  // namespace

SpeedWatch::SpeedWatch(std::uint64_t least_bytes_per_second, std::uint32_t window_seconds)
    : least_bytes_(least_bytes_per_second * window_seconds),
      window_(std::chrono::seconds(window_seconds)) {}

bool SpeedWatch::KeptUp(Clock::time_point now, std::uint64_t received) {
  if (window_ == Clock::duration::zero()) {
    return true;
  }
  if (samples_.empty() || now - samples_.back().first >= kSampleSpacing) {
    samples_.emplace_back(now, received);
  }
  const Clock::time_point window_start = now - window_;
  while (samples_.size() > 1 && samples_[1].first <= window_start) {
    samples_.pop_front();
  }
  return samples_.front().first > window_start ||
         received - samples_.front().second >= least_bytes_;
}

}  // namespace hx::emu
