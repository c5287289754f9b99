#pragma once
// Running either build of the utility the same way, for the tests that compare the Windows
// build under Wine with the Linux build.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/process_runner.h"
#include "support/programs.h"

namespace hx::test {

inline const std::string kWindowsBuild = HX7300_WINDOWS_BUILD_DIR;

/// The command that starts the Linux hx7300 or, under Wine, hx7300.exe with args.
inline std::vector<std::string> Command(bool windows, const std::vector<std::string>& args) {
  std::vector<std::string> argv =
      windows ? std::vector<std::string>{kWindowsBuild + "/wine-run", kWindowsBuild + "/hx7300.exe"}
              : std::vector<std::string>{HxBinary()};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

/// A file as each build names it: Wine's drive Z: is the Linux root.
inline std::string FileArg(bool windows, const std::string& flag,
                           const std::filesystem::path& path) {
  return flag + (windows ? "Z:" : "") + path.string();
}

/// Runs one build to its end with HX7300_DEVICE set to device (unset when empty).
inline ProcessResult RunBuild(bool windows, const std::vector<std::string>& args,
                              const std::string& device = "") {
  ProcessRun run;
  run.argv = Command(windows, args);
  if (device.empty()) {
    run.unset_environment = {"HX7300_DEVICE"};
  } else {
    run.set_environment["HX7300_DEVICE"] = device;
  }
  run.timeout = std::chrono::seconds(60);
  return RunProcess(run);
}

}  // namespace hx::test
