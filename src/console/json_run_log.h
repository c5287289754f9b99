#pragma once
// The run log as JSON Lines in a file (HX7300_LOG): one JSON object a line, appended, so that
// the runs of a room add up to its history. docs/run-log.schema.json describes every record.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "console/run_log.h"
#include "platform/append_file.h"

namespace hx {

/// The version of the records' shape, in every start record.
inline constexpr int kRunLogSchemaVersion = 1;

class JsonRunLog final : public RunLog {
 public:
  /// program and version name what writes the log, for the start record.
  JsonRunLog(std::string program, std::string version)
      : program_(std::move(program)), version_(std::move(version)) {}

  /// Opens the log file; the system's failure when it cannot be written.
  HRESULT Open(const std::wstring& path);
  /// The first write that failed, or S_OK while every record has reached the file.
  HRESULT WriteFailure() const;

  void Start(const RunStart& start) override;
  void Stage(std::string_view line) override;
  void DeviceMessage(std::string_view text) override;
  void Failure(std::string_view context, HRESULT code, std::string_view text) override;
  void Progress(const RunProgress& progress) override;
  void Sent(std::uint64_t bytes) override;
  void End(HRESULT result, int exit_status) override;

 private:
  void Write(const std::string& record);

  const std::string program_;
  const std::string version_;
  platform::CAppendFile file_;
  mutable std::mutex mutex_;
  HRESULT write_failure_ = S_OK;
  std::chrono::steady_clock::time_point started_{};
  std::chrono::steady_clock::time_point last_progress_{};
  bool progress_written_ = false;
  std::uint64_t bytes_sent_ = 0;
};

}  // namespace hx
