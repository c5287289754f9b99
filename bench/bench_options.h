#pragma once
// The command line of image_upload_bench: every option checked, nothing guessed.

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

inline constexpr const char* kUsage =
    "usage: image_upload_bench [--latency-us N] [--sizes-mib N[,N...]] [--log FILE]\n"
    "                          [--record FILE] [--help]\n"
    "  --latency-us N       every control transfer takes N more microseconds (default 0,\n"
    "                       at most 1000000)\n"
    "  --sizes-mib N[,N...] the image sizes to upload, in MiB, each 1 to 4095 (default\n"
    "                       1,8,40)\n"
    "  --log FILE           keeps the run log in FILE, as HX7300_LOG does\n"
    "  --record FILE        records the transfers into FILE, as HX7300_RECORD does\n";

struct Options {
  std::uint32_t latency_us = 0;
  std::vector<int> sizes_mib = {1, 8, 40};
  std::string log;     ///< empty: no run log
  std::string record;  ///< empty: no recording
  bool help = false;
};

/// A whole decimal number from low to high; false for anything else.
inline bool ParseWhole(std::string_view text, long low, long high, long& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc() && end == text.data() + text.size() &&
         value >= low && value <= high;
}

/// Parses the arguments after the program name; false, with the reason in error, when they
/// cannot be used.
inline bool ParseOptions(const std::vector<std::string_view>& args, Options& options,
                         std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view name = args[i];
    if (name == "--help" || name == "-h") {
      options.help = true;
      return true;
    }
    if (name != "--latency-us" && name != "--sizes-mib" && name != "--log" && name != "--record") {
      error = "unknown option '" + std::string(name) + "'";
      return false;
    }
    if (i + 1 == args.size()) {
      error = "option '" + std::string(name) + "' needs a value";
      return false;
    }
    std::string_view value = args[++i];
    if (name == "--log" || name == "--record") {
      if (value.empty()) {
        error = std::string(name) + " takes the name of a file";
        return false;
      }
      (name == "--log" ? options.log : options.record) = value;
      continue;
    }
    long number = 0;
    if (name == "--latency-us") {
      if (!ParseWhole(value, 0, 1000000, number)) {
        error = "--latency-us takes a whole number of microseconds from 0 to 1000000, not '" +
                std::string(value) + "'";
        return false;
      }
      options.latency_us = static_cast<std::uint32_t>(number);
      continue;
    }
    options.sizes_mib.clear();
    for (std::size_t comma = 0; comma != std::string_view::npos; value.remove_prefix(comma + 1)) {
      comma = value.find(',');
      const std::string_view size = value.substr(0, comma);
      if (!ParseWhole(size, 1, 4095, number)) {
        error = "--sizes-mib takes sizes from 1 to 4095 MiB, not '" + std::string(size) + "'";
        return false;
      }
      options.sizes_mib.push_back(static_cast<int>(number));
      if (comma == std::string_view::npos) {
        break;
      }
    }
  }
  return true;
}

}  // namespace bench
