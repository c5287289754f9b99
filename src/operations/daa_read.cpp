#include "operations/daa_read.h"

#include "console/console_io.h"
#include "console/console_print.h"
#include "console/report_error.h"
#include "operations/handlers.h"
#include "operations/status_poller.h"
#include "protocol/opcodes.h"

namespace hx {
namespace {

// The DSP answers within a poll or two; ten polls of 3 s without a reply or a device message
// means it is not going to.
constexpr std::uint32_t kDaaWaitMs = 3000;
constexpr std::uint32_t kDaaPollLimit = 10;

class DaaReplyJudge final : public ReplyJudge {
 public:
  ReplyVerdict Judge(const XuPacket& reply, HRESULT read_result) override {
    const DaaSettings settings = DaaSettings::FromReply(reply);
    if (settings.record_type != kDaaRecordType) {
      return ReplyVerdict::Drop();
    }
    const HRESULT printed = PrintDaaSettings(settings);
    return ReplyVerdict::Finish(FAILED(printed) ? printed : read_result);
  }
};

// Each field line follows an empty line of its own.
void PrintField(const wchar_t* format, unsigned value) {
  Console().WriteWide(L"\r\n");
  PrintWideF(format, value);
}

}  // namespace

HRESULT PrintDaaSettings(const DaaSettings& settings) {
  if (!settings.ChecksumMatches()) {
    Console().WriteWide(L"Checksum failed..check the USB cable connection.\r\n");
    return kHrDataError;
  }
  Console().WriteWide(L"\r\n");
  Console().WriteWide(L"********  Current DAA Settings in PDB  ********\r\n");
  PrintField(L"           Group Id     : %u\r\n", settings.group_id);
  PrintField(L"           GCR          : %u\r\n", settings.gcr);
  PrintField(L"           ICTRL1_VOICE : 0X%x\r\n", settings.ictrl1_voice);
  PrintField(L"           ICTRL2_VOICE : 0X%x\r\n", settings.ictrl2_voice);
  PrintField(L"           ICTRL3_VOICE : 0X%x\r\n", settings.ictrl3_voice);
  PrintField(L"           ICTRL1_DTMF  : 0X%x\r\n", settings.ictrl1_dtmf);
  PrintField(L"           ICTRL2_DTMF  : 0X%x\r\n", settings.ictrl2_dtmf);
  PrintField(L"           ICTRL3_DTMF  : 0X%x\r\n", settings.ictrl3_dtmf);
  Console().WriteWide(L"\r\n");
  Console().WriteWide(settings.lvcs_check != 0 ? L"           LVCS Check   : TRUE\r\n"
                                               : L"           LVCS Check   : FALSE\r\n");
  PrintField(L"           Low Mag      : %u\r\n", settings.low_mag);
  PrintField(L"           High Mag     : %u\r\n", settings.high_mag);
  Console().WriteWide(L"\r\n");
  return S_OK;
}

HRESULT HandleDAAReadMode(const ModeOptions& options, CDuzuVideoCaptureDevice& device) {
  if (options.ModeCode != kModeDaa || options.Daa.DaaRequest == 0xFF) {
    ReportError("HandleDAAReadMode - Invalid options!  hr = 0x%08X!", E_INVALIDARG);
    return E_INVALIDARG;
  }
  XuPacket request;
  request.SetLength(1);
  request.SetOpcode(XU_OPCODE_VDSP_RESPONSE);
  request.SetArg0(1);
  request.SetArg1(0);
  request.SetDspRequest(options.Daa.DaaRequest);
  const HRESULT hr = device.SetXU(SelectorFor(XU_OPCODE_VDSP_RESPONSE), request.Bytes());
  if (FAILED(hr)) {
    ReportError("HandleDAAReadMode - CDuzuVideoCaptureDevice::SetXU() failed hr = 0x%08X!", hr);
    return hr;
  }
  const PollRules rules{
      .wait_limit_ms = kDaaWaitMs,
      .status_read_context =
          "HandleDAAReadMode - XUEchoThread - GetXU(XU_OPCODE_STATUS_INTERRUPT) failed hr = "
          "0x%08X!",
      .reply_read_context = "HandleDAAReadMode - GetXU(XU_OPCODE_VDSP_RESPONSE) failed.",
      .reply_failure_ends_list = true,
      .only_opcode = XU_OPCODE_VDSP_RESPONSE,
      .device_messages = true,
      .poll_limit = kDaaPollLimit,
      .poll_limit_context = "HandleDAAReadMode - timed out",
  };
  DaaReplyJudge judge;
  return PollForReply(device, rules, judge);
}

}  // namespace hx
