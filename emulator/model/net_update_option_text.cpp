#include "model/net_update_options.h"

#include "model/option_values.h"

namespace hx::emu {
namespace {

// "STAGE:VALUE" into a map of stage codes.
template <typename T>
bool ParseStageValue(std::string_view text, std::map<std::uint8_t, T>& into,
                     bool (*parse)(std::string_view, T&)) {
  const auto parts = Split(text, ':');
  std::uint8_t stage = 0;
  T value{};
  if (parts.size() != 2 || !ParseInto(parts[0], stage) || !parse(parts[1], value)) {
    return false;
  }
  into[stage] = value;
  return true;
}

bool ParseCommitStep(std::string_view text, std::optional<CommitStep>& step) {
  for (const CommitStep each : {CommitStep::kBeforeRecord, CommitStep::kAfterRecord,
                                CommitStep::kBetweenRenames, CommitStep::kAfterRenames}) {
    if (text == CommitStepName(each)) {
      step = each;
      return true;
    }
  }
  return false;
}

}  // namespace

bool ApplyNetUpdatePaceText(std::string_view text, NetUpdatePace& pace, std::string& error) {
  for (const std::string_view item : Split(text, ',')) {
    const std::size_t equals = item.find('=');
    const std::string_view key = item.substr(0, equals);
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
    const bool applied = (key == "stage-ms" && ParseInto(value, pace.stage_delay_ms)) ||
                         (key == "rate" && ParseInto(value, pace.max_bytes_per_second)) ||
                         (key == "low-speed-s" && ParseInto(value, pace.low_speed_seconds) &&
                          pace.low_speed_seconds != 0);
    if (!applied) {
      error = "bad network update setting '" + std::string(item) + "'";
      return false;
    }
  }
  return true;
}

bool ApplyNetUpdateFault(std::string_view name, std::string_view value, NetUpdateFaults& faults) {
  if (name == "net-stage-status") {
    return ParseStageValue<std::int32_t>(value, faults.stage_status, ParseResult);
  }
  if (name == "net-stage-count") {
    return ParseStageValue<std::uint16_t>(value, faults.stage_count, ParseInto<std::uint16_t>);
  }
  if (name == "commit-pause") {
    return ParseCommitStep(value, faults.commit_pause);
  }
  std::uint64_t space = 0;
  if (name == "staging-space" && ParseInto(value, space)) {
    faults.staging_space = space;
    return true;
  }
  return false;
}

std::string_view NetUpdateFaultHelpText() {
  return "  net-stage-status=STAGE:STATUS\n"
         "                            the network update's reply for STAGE (a step code: 1 to\n"
         "                            3, 255, 4 to 8, 10 to 14) carries STATUS and the update\n"
         "                            ends there\n"
         "  net-stage-count=STAGE:N   the reply for STAGE carries StepCount N; above 200 the\n"
         "                            update ends there\n"
         "  commit-pause=STEP         the device stops for good at STEP of committing an\n"
         "                            update's images (before-record, after-record,\n"
         "                            between-renames, after-renames), saying so on standard\n"
         "                            error: a device to kill there\n"
         "  staging-space=BYTES       the state directory has room for BYTES of an update's\n"
         "                            staged images; a write beyond fails as on a full disk\n";
}

}  // namespace hx::emu
