#pragma once
// The run's record for scripts and fleets (HX7300_LOG): a record for the run's start and end,
// one for each line the run prints, and records of their own for its failures, the device's
// messages and its progress. Without a log in place every call does nothing.
//
// Threading: any thread may log; a log keeps its records whole.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/hresult.h"

namespace hx {

struct RunStart {
  std::string mode;  ///< "img", "netimg", "cfg", "diag", "daa"
  /// The options as the command line gave them, by name; never a passcode.
  std::vector<std::pair<std::string, std::string>> options;
  /// HX7300_DEVICE, or nullopt for the platform's own discovery.
  std::optional<std::string> device;
};

struct RunProgress {
  std::optional<std::uint32_t> block;         ///< the image transfer's blocks sent so far
  std::optional<std::uint32_t> total_blocks;  ///< and all it sends
  std::int32_t percent = 0;
};

class RunLog {
 public:
  virtual ~RunLog() = default;
  virtual void Start(const RunStart& start) = 0;
  /// A line the run printed, without its line end (UTF-8).
  virtual void Stage(std::string_view line) = 0;
  virtual void DeviceMessage(std::string_view text) = 0;
  /// A failure reported where it was detected: its context, code and the system's text.
  virtual void Failure(std::string_view context, HRESULT code, std::string_view text) = 0;
  /// Recorded at most once a second; a transfer's last block and 100 percent always.
  virtual void Progress(const RunProgress& progress) = 0;
  /// Image bytes that have reached the device.
  virtual void Sent(std::uint64_t bytes) = 0;
  virtual void End(HRESULT result, int exit_status) = 0;
};

/// The log in use: one that records nothing unless a ScopedRunLog has put one in place.
RunLog& Log();

class ScopedRunLog {
 public:
  explicit ScopedRunLog(RunLog& log);
  ~ScopedRunLog();
  ScopedRunLog(const ScopedRunLog&) = delete;
  ScopedRunLog& operator=(const ScopedRunLog&) = delete;

 private:
  RunLog* previous_;
};

/// While it lives, what this thread prints belongs to a record already made (a failure, a
/// device message) and makes no stage record of its own.
class ScopedRecordedOutput {
 public:
  ScopedRecordedOutput();
  ~ScopedRecordedOutput();
  ScopedRecordedOutput(const ScopedRecordedOutput&) = delete;
  ScopedRecordedOutput& operator=(const ScopedRecordedOutput&) = delete;

  /// True on a thread inside such a scope.
  static bool Active();
};

}  // namespace hx
