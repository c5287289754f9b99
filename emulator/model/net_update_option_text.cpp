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

}  // namespace

bool ApplyNetUpdatePaceText(std::string_view text, NetUpdatePace& pace, std::string& error) {
  for (const std::string_view item : Split(text, ',')) {
    const std::size_t equals = item.find('=');
    const std::string_view key = item.substr(0, equals);
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
    const bool applied = (key == "stage-ms" && ParseInto(value, pace.stage_delay_ms)) ||
                         (key == "rate" && ParseInto(value, pace.max_bytes_per_second));
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
  return false;
}

std::string_view NetUpdateFaultHelpText() {
  return "  net-stage-status=STAGE:STATUS\n"
         "                            the network update's reply for STAGE (a step code: 1 to\n"
         "                            3, 255, 4 to 8, 10 to 14) carries STATUS and the update\n"
         "                            ends there\n"
         "  net-stage-count=STAGE:N   the reply for STAGE carries StepCount N; above 200 the\n"
         "                            update ends there\n";
}

}  // namespace hx::emu
