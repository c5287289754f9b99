#include "app/entry.h"

#include "app/mode_dispatch.h"
#include "app/unattended_run.h"
#include "app/usage_screens.h"
#include "console/console_io.h"
#include "console/report_error.h"
#include "device/capture_device.h"
#include "operations/handlers.h"
#include "operations/mode_options.h"

namespace hx {
namespace {

/// Runs the handler of the selected mode with the opened device.
HRESULT DispatchMode(const ModeOptions& options, CDuzuVideoCaptureDevice& device) {
  if (IsConfigMode(options.ModeCode)) {
    return HandleSystemConfigMode(options, device);
  }
  switch (options.ModeCode) {
    case kModeImage:
      return HandleImageUpdateMode(options, device);
    case kModeDiag:
      return HandleDiagServerConfig(options, device);
    case kModeNetImage:
      return HandleNetImageUpdateMode(options, device);
    case kModeDaa:
      return HandleDAAReadMode(options, device);
    default:
      // An accepted command line leaves no other mode.
      return E_INVALIDARG;
  }
}

}  // namespace

HRESULT RunEntry(std::span<const wchar_t* const> arguments) {
  // Created empty; Initialize opens it below and its destruction closes it on every return.
  CDuzuVideoCaptureDevice device;
  // Lives for the whole run: the handler reads it, and the netimg texts are held in it.
  ModeOptions options{};
  options.ModeCode = kModeNone;
  CommandLineRefusal refusal;
  if (FAILED(ParseModeArguments(arguments, options, ShowUsageAndExit, refusal))) {
    Console().WriteErrorLine(refusal.Line());
    PrintUsage(ProgramName(arguments));
  }
  UnattendedRun unattended;
  if (const HRESULT hr = unattended.Prepare(arguments, options, device); FAILED(hr)) {
    return hr;
  }
  const HRESULT hr = device.Initialize();
  if (FAILED(hr)) {
    ReportError("CDuzuVideoCaptureDevice - Initialize() failed!", hr);
    return unattended.Finish(hr);
  }
  return unattended.Finish(ResultAfterOutput(DispatchMode(options, device)));
}

}  // namespace hx
