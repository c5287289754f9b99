#pragma once
// How the virtual HX7300 paces its network update, and the faults it can be told to show in it.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "model/commit_journal.h"

namespace hx::emu {

struct NetUpdatePace {
  /// A pause before each stage the device reports, so that a person can follow the stages.
  std::uint32_t stage_delay_ms = 0;
  /// The download's speed limit in bytes per second; 0 leaves it unlimited.
  std::uint64_t max_bytes_per_second = 0;
  /// How long a server may send less than 1 KiB a second before the device gives up on it.
  std::uint32_t low_speed_seconds = 30;
};

struct NetUpdateFaults {
  /// stage -> the Status its reply carries; the device abandons the update there.
  std::map<std::uint8_t, std::int32_t> stage_status{};
  /// stage -> the StepCount its reply carries; above 200 the device gives up there.
  std::map<std::uint8_t, std::uint16_t> stage_count{};
  /// The device stops for good at this step of committing an update's images, saying so on
  /// standard error, so that a test can kill it there.
  std::optional<CommitStep> commit_pause{};
  /// The state directory has room for this many bytes of an update's staged images; a write
  /// beyond them fails as on a full disk.
  std::optional<std::uint64_t> staging_space{};
};

/// Applies "key=value[,key=value...]" to the pace. Keys: stage-ms, rate, low-speed-s. False
/// with error set when a key or value is refused.
bool ApplyNetUpdatePaceText(std::string_view text, NetUpdatePace& pace, std::string& error);

/// Applies one network update fault, "net-stage-status=STAGE:STATUS",
/// "net-stage-count=STAGE:N", "commit-pause=STEP" or "staging-space=BYTES", given as its name
/// and value; false when it is not one of them or its value is refused.
bool ApplyNetUpdateFault(std::string_view name, std::string_view value, NetUpdateFaults& faults);

/// The --help lines of the network update faults.
std::string_view NetUpdateFaultHelpText();

}  // namespace hx::emu
