#pragma once
// What the environment adds to a run for scripts and fleets, all of it opt-in:
//   HX7300_PASSCODE_FILE  the passcode from a file that only its owner may read, no prompt
//   HX7300_LOG            the run's record as JSON Lines, appended to a file
//   HX7300_TIMEOUT        a limit, in seconds, on every wait for the device that is otherwise
//                         unlimited
//   HX7300_RECORD         every transfer and status interrupt of the run, passcodes left out,
//                         into a file that HX7300_DEVICE=replay:<file> plays back
// Without them the run prints, prompts and ends exactly as it always has.

#include <memory>
#include <optional>
#include <span>

#include "console/console_io.h"
#include "console/json_run_log.h"
#include "console/logged_console.h"
#include "console/passcode_file.h"
#include "device/capture_device.h"
#include "device/transfer_recording.h"
#include "operations/mode_options.h"
#include "platform/hresult.h"

namespace hx {

class UnattendedRun {
 public:
  UnattendedRun() = default;
  UnattendedRun(const UnattendedRun&) = delete;
  UnattendedRun& operator=(const UnattendedRun&) = delete;

  /// Readies what the variables name for the run of an accepted command line on device, before
  /// the device is touched: S_OK, or the failure the run ends with, its reason written to
  /// standard error as one line.
  HRESULT Prepare(std::span<const wchar_t* const> arguments, const ModeOptions& options,
                  CDuzuVideoCaptureDevice& device);
  /// The run's result once its log and recording are counted (one that could not be written
  /// fails a run that succeeded), after the log's end record.
  HRESULT Finish(HRESULT result);

 private:
  HRESULT PreparePasscodeFile();
  HRESULT PrepareLog(std::span<const wchar_t* const> arguments, const ModeOptions& options);
  HRESULT PrepareTimeout();
  HRESULT PrepareRecording(CDuzuVideoCaptureDevice& device);

  CPasscodeFile passcode_file_;
  std::optional<ScopedPasscodeFile> passcode_file_in_use_;
  std::optional<JsonRunLog> log_;
  std::optional<ScopedRunLog> log_in_use_;
  std::optional<LoggedConsole> logged_console_;
  std::optional<ScopedConsole> logged_console_in_use_;
  std::shared_ptr<TransferRecording> recording_;
};

}  // namespace hx
