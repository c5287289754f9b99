#pragma once
// Points the debugger output (HX7300_DEBUG_OUTPUT) at a fresh file for one test and takes it
// away afterwards.

#include <filesystem>
#include <optional>
#include <string>

#include "support/environment.h"

namespace hx::test {

class DebugOutputFile {
 public:
  DebugOutputFile();
  ~DebugOutputFile();
  DebugOutputFile(const DebugOutputFile&) = delete;
  DebugOutputFile& operator=(const DebugOutputFile&) = delete;

  /// Everything written to the debugger output so far.
  std::string Contents() const;

 private:
  std::filesystem::path path_;
  ScopedEnvironmentVariable variable_;
};

}  // namespace hx::test
