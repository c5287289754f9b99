#pragma once
// The device's clock and time zone as last set by the host. With a state directory the setting
// is also kept in its file CLOCK.TXT, in words a person can read.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/hresult.h"
#include "platform/state_directory.h"

namespace hx::emu {

struct ClockSetting {
  std::int32_t zone_index = 0;
  SYSTEMTIME local{};
  SYSTEMTIME utc{};
};

/// True when both times are valid (a Gregorian date from 1601 to 30827 and every field in its
/// range; the day of week is not looked at) and no more than 14 hours apart, as the times of
/// one zone are.
bool IsValidClockSetting(const ClockSetting& setting);

/// The text CLOCK.TXT holds for setting.
std::string DescribeClockSetting(const ClockSetting& setting);

class DeviceClock {
 public:
  static constexpr const char* kClockFile = "CLOCK.TXT";
  static constexpr const char* kClockTemporary = "CLOCK.TMP";

  /// state_dir: where the setting is kept as well, or null.
  explicit DeviceClock(CStateDirectory* state_dir) : state_dir_(state_dir) {}

  /// Takes a new setting; false, and the old one kept, when the state directory cannot keep it.
  bool Set(const ClockSetting& setting);
  /// The setting last taken; nullopt while the clock has not been set.
  const std::optional<ClockSetting>& Setting() const { return setting_; }

 private:
  CStateDirectory* state_dir_;
  std::optional<ClockSetting> setting_{};
};

}  // namespace hx::emu
