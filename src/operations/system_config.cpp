#include "operations/system_config.h"

#include <algorithm>
#include <array>
#include <string>

#include "console/bounded_text.h"
#include "console/console_io.h"
#include "console/console_print.h"
#include "console/report_error.h"
#include "operations/handlers.h"
#include "operations/passcode.h"
#include "operations/status_poller.h"
#include "platform/debug_output.h"
#include "protocol/opcodes.h"
#include "protocol/system_config.h"

namespace hx {
namespace {

constexpr std::size_t kStageLineCapacity = 1024;

XuPacket ConfigRequest(std::uint8_t arg1, std::int32_t config_command) {
  XuPacket request;
  request.SetLength(kConfigRequestLength);
  request.SetOpcode(XU_OPCODE_SYSTEM_CONFIG);
  request.SetArg0(1);
  request.SetArg1(arg1);
  request.SetConfigCommand(config_command);
  return request;
}

// The file name as 8-bit text: each character below 256 is the byte of the same value; one
// that has no such byte is sent as '?', which names no file on the device. At most 39
// characters go, and a zero byte always ends the name.
void SetUploadName(const wchar_t* name, XuPacket& request) {
  const std::wstring_view wide(name);
  std::string narrow;
  for (const wchar_t ch : wide.substr(0, kUploadNameCapacity - 1)) {
    narrow.push_back(static_cast<std::uint32_t>(ch) < 256 ? static_cast<char>(ch) : '?');
  }
  SetFieldText(request.ConfigData(), narrow);
}

// The request for a configuration action; false for an action that has none.
bool BuildActionRequest(const ConfigOptions& cfg, XuPacket& request) {
  switch (cfg.CfgCommand) {
    case kCfgSetTime:
      request = ConfigRequest(kConfigArg1TimeZone, cfg.CfgIndex);
      request.SetConfigLocalTime(cfg.LocalTime);
      request.SetConfigUtcTime(cfg.UtcTime);
      return true;
    case kCfgParseResult:
      request = ConfigRequest(kConfigArg1Command, SYSCFG_CMD_CFG_PARSE_RESULT);
      return true;
    case kCfgUploadFile:
      request = ConfigRequest(kConfigArg1Command, SYSCFG_CMD_UPLOAD_FILE_BY_NAME);
      SetUploadName(cfg.UploadFileName, request);
      return true;
    default:
      return false;
  }
}

// One line for the stage: its success, or its failure with the device's code and the system's
// text for it, which also goes to the debugger output.
void PrintStage(const ConfigStage& stage) {
  if (stage.result == 0) {
    PrintWideF(L"%ls succeeded.\r\n", stage.name.c_str());
    return;
  }
  const std::wstring text = SystemMessageOrNull(stage.result);
  std::array<wchar_t, kStageLineCapacity> line{};
  FormatBoundedW(line, L"%ls failed!  Error code = 0x%08X : %ls", stage.name.c_str(),
                 static_cast<unsigned>(stage.result), text.c_str());
  platform::WriteDebugLine(line.data());
  Console().WriteWide(std::wstring(line.data()) + L"\r\n");
}

class ConfigReplyJudge final : public ReplyJudge {
 public:
  ReplyVerdict Judge(const XuPacket& reply, HRESULT read_result) override {
    if (reply.Opcode() != XU_OPCODE_SYSTEM_CONFIG) {
      return ReplyVerdict::Drop();
    }
    const ConfigStage stage = DecodeConfigReply(reply);
    PrintStage(stage);
    // What the device reports is the run's result, not only a line on the console.
    return ReplyVerdict::Finish(stage.result != 0 ? stage.result : read_result);
  }
};

HRESULT RunConfigAction(const ConfigOptions& cfg, CDuzuVideoCaptureDevice& device) {
  XuPacket request;
  if (!BuildActionRequest(cfg, request)) {
    return E_INVALIDARG;
  }
  const HRESULT hr = device.SetXU(SelectorFor(XU_OPCODE_SYSTEM_CONFIG), request.Bytes());
  if (FAILED(hr)) {
    ReportError("SetXU(XU_OPCODE_IMGUPD_NET_INFO) failed!", hr);
    return hr;
  }
  const PollRules rules{
      .failed_wait_ends = true,
      .status_read_context = "CheckForSuccess - GetXU(XU_OPCODE_STATUS_INTERRUPT) failed!",
      .reply_read_context = "XUEchoThread - GetXU() failed!",
  };
  ConfigReplyJudge judge;
  return PollForReply(device, rules, judge);
}

}  // namespace

HRESULT SendRebootRequest(CDuzuVideoCaptureDevice& device, int variant) {
  const XuPacket request =
      ConfigRequest(kConfigArg1Command, variant == 0 ? SYSCFG_CMD_REBOOT : SYSCFG_CMD_REBOOT_M);
  Console().WriteWide(L"Attempting to reboot the HX7300 device....\r\n");
  return device.SetXU(SelectorFor(XU_OPCODE_SYSTEM_CONFIG), request.Bytes());
}

HRESULT HandleSystemConfigMode(const ModeOptions& options, CDuzuVideoCaptureDevice& device) {
  if (options.ModeCode == kModeConfigPasscode) {
    const HRESULT hr = ChangePasscode(device);
    if (FAILED(hr)) {
      ReportError("ChangePasscode  failed!", hr);
    }
    return hr;
  }
  const HRESULT validated = ValidatePasscode(XU_OPCODE_SYSTEM_CONFIG, device);
  if (FAILED(validated)) {
    ReportError("ValidatePasscode() failed!", validated);
    return validated;
  }
  if (options.ModeCode == kModeConfigReboot || options.ModeCode == kModeConfigRebootVariant) {
    // The device may drop the link as it resets, so the write's result says nothing.
    SendRebootRequest(device, options.ModeCode == kModeConfigRebootVariant ? 1 : 0);
    return validated;
  }
  return RunConfigAction(options.Config, device);
}

}  // namespace hx
