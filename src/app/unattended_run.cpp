#include "app/unattended_run.h"

#include <string>

#include "app/mode_dispatch.h"
#include "console/report_error.h"
#include "console/utf8_text.h"
#include "operations/status_poller.h"
#include "platform/environment.h"
#include "platform/exit_status.h"

namespace hx {
namespace {

constexpr std::uint32_t kMaxTimeoutSeconds = 86400;

std::wstring Wide(const std::string& ascii) {
  return {ascii.begin(), ascii.end()};
}

// One line on standard error for a variable that cannot be used, and the failure it gives.
HRESULT Refuse(const char* name, const std::wstring& value, const std::wstring& why,
               HRESULT failure) {
  Console().WriteErrorLine(L"hx7300: " + Wide(name) + L"=" + value + L": " + why);
  return failure;
}

std::wstring SystemText(HRESULT code) {
  std::wstring text = SystemMessageOrNull(code);
  while (text.ends_with(L'\n') || text.ends_with(L'\r')) {
    text.pop_back();
  }
  return text;
}

// The options as the command line gave them ("-i:nk" gives "-i" = "nk"), for the start record.
RunStart DescribeRun(std::span<const wchar_t* const> arguments, const ModeOptions& options) {
  RunStart start;
  start.mode = Utf8FromWide(ModeKeyword(options.ModeCode));
  for (std::size_t i = 2; i < arguments.size(); ++i) {
    const std::wstring_view token = arguments[i] != nullptr ? arguments[i] : L"";
    const std::size_t colon = token.find(L':');
    const std::string name = Utf8FromWide(token.substr(0, colon));
    const std::string value =
        colon == std::wstring_view::npos ? "" : Utf8FromWide(token.substr(colon + 1));
    std::erase_if(start.options, [&](const auto& option) { return option.first == name; });
    start.options.emplace_back(name, value);
  }
  if (const std::optional<std::wstring> device = platform::EnvironmentText("HX7300_DEVICE");
      device && !device->empty()) {
    start.device = Utf8FromWide(*device);
  }
  return start;
}

}  // namespace

HRESULT UnattendedRun::Prepare(std::span<const wchar_t* const> arguments,
                               const ModeOptions& options, CDuzuVideoCaptureDevice& device) {
  HRESULT hr = PrepareTimeout();
  if (SUCCEEDED(hr)) {
    hr = PreparePasscodeFile();
  }
  // Before the log, whose start record would otherwise stand without an end.
  if (SUCCEEDED(hr)) {
    hr = PrepareRecording(device);
  }
  if (SUCCEEDED(hr)) {
    hr = PrepareLog(arguments, options);
  }
  return hr;
}

HRESULT UnattendedRun::PreparePasscodeFile() {
  const std::optional<std::wstring> path = platform::EnvironmentText("HX7300_PASSCODE_FILE");
  if (!path) {
    return S_OK;
  }
  std::string problem;
  const HRESULT hr = passcode_file_.Open(*path, problem);
  if (FAILED(hr)) {
    return Refuse("HX7300_PASSCODE_FILE", *path,
                  problem.empty() ? L"cannot be read: " + SystemText(hr) : Wide(problem), hr);
  }
  passcode_file_in_use_.emplace(passcode_file_);
  return S_OK;
}

HRESULT UnattendedRun::PrepareLog(std::span<const wchar_t* const> arguments,
                                  const ModeOptions& options) {
  const std::optional<std::wstring> path = platform::EnvironmentText("HX7300_LOG");
  if (!path) {
    return S_OK;
  }
  log_.emplace("hx7300", HX7300_VERSION);
  HRESULT hr = log_->Open(*path);
  if (SUCCEEDED(hr)) {
    log_->Start(DescribeRun(arguments, options));
    hr = log_->WriteFailure();
  }
  if (FAILED(hr)) {
    log_.reset();
    return Refuse("HX7300_LOG", *path, L"cannot be written: " + SystemText(hr), hr);
  }
  log_in_use_.emplace(*log_);
  logged_console_.emplace(Console(), *log_);
  logged_console_in_use_.emplace(*logged_console_);
  return S_OK;
}

HRESULT UnattendedRun::PrepareTimeout() {
  const std::optional<std::wstring> value = platform::EnvironmentText("HX7300_TIMEOUT");
  if (!value) {
    return S_OK;
  }
  std::uint32_t seconds = 0;
  bool number = !value->empty() && value->size() <= 5;
  for (const wchar_t ch : *value) {
    number = number && ch >= L'0' && ch <= L'9';
    seconds = number ? seconds * 10 + static_cast<std::uint32_t>(ch - L'0') : 0;
  }
  if (!number || seconds == 0 || seconds > kMaxTimeoutSeconds) {
    return Refuse("HX7300_TIMEOUT", *value,
                  L"the timeout must be a whole number of seconds from 1 to 86400", E_INVALIDARG);
  }
  SetUnattendedWaitLimit(seconds * 1000);
  return S_OK;
}

HRESULT UnattendedRun::PrepareRecording(CDuzuVideoCaptureDevice& device) {
  const std::optional<std::wstring> path = platform::EnvironmentText("HX7300_RECORD");
  if (!path) {
    return S_OK;
  }
  auto recording = std::make_shared<TransferRecording>();
  if (const HRESULT hr = recording->Open(*path); FAILED(hr)) {
    return Refuse("HX7300_RECORD", *path, L"cannot be written: " + SystemText(hr), hr);
  }
  device.RecordTransfers(recording);
  recording_ = std::move(recording);
  return S_OK;
}

HRESULT UnattendedRun::Finish(HRESULT result) {
  if (recording_ && SUCCEEDED(result) && FAILED(recording_->WriteFailure())) {
    result = recording_->WriteFailure();
    ReportError("Writing the recording failed!", result);
  }
  if (!log_) {
    return result;
  }
  const HRESULT written = log_->WriteFailure();
  if (SUCCEEDED(result) && FAILED(written)) {
    ReportError("Writing the run log failed!", written);
    result = written;
  }
  log_->End(result, platform::ProcessExitStatus(result));
  return result;
}

}  // namespace hx
