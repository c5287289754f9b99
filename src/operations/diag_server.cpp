#include "console/console_io.h"
#include "console/report_error.h"
#include "operations/handlers.h"
#include "operations/status_poller.h"
#include "protocol/opcodes.h"

namespace hx {
namespace {

// The device's first failure code among the fields given, or 0.
std::int32_t FirstFailure(std::int32_t status, std::int32_t upload_status) {
  return status != 0 ? status : upload_status;
}

class DiagReplyJudge final : public ReplyJudge {
 public:
  ReplyVerdict Judge(const XuPacket& reply, HRESULT read_result) override {
    std::int32_t failure = 0;
    if (reply.Opcode() == XU_OPCODE_DIAG_UPLOAD_CELOG) {
      failure = FirstFailure(reply.Status(), reply.UploadStatus());
      if (failure != 0) {
        ReportError("HandleDiagServerConfig - Upload CELog failed!", failure);
      } else {
        Console().WriteNarrow("Upload CELog command has been queued...\r\n");
      }
    } else if (reply.Opcode() == XU_OPCODE_DIAG_SERVER_CONFIG) {
      failure = reply.Status();
      if (failure != 0) {
        ReportError("HandleDiagServerConfig - Configure Diag server failed!", failure);
      } else {
        Console().WriteNarrow("Diag server configured.\r\n");
      }
    } else {
      return ReplyVerdict::Drop();
    }
    // What the device reports is the run's result, not only a line on the console.
    return ReplyVerdict::Finish(failure != 0 ? failure : read_result);
  }
};

}  // namespace

HRESULT HandleDiagServerConfig(const ModeOptions& options, CDuzuVideoCaptureDevice& device) {
  if (options.Diag.DiagOpcode != XU_OPCODE_DIAG_UPLOAD_CELOG) {
    ReportError("HandleDiagServerConfig - Invalid options!", E_INVALIDARG);
    return E_INVALIDARG;
  }
  XuPacket request;
  request.SetLength(0);
  request.SetOpcode(XU_OPCODE_DIAG_UPLOAD_CELOG);
  request.SetArg0(1);
  request.SetArg1(0);
  request.SetFlushLog(options.Diag.FlushLog);
  const HRESULT hr = device.SetXU(SelectorFor(XU_OPCODE_DIAG_UPLOAD_CELOG), request.Bytes());
  if (FAILED(hr)) {
    ReportError("HandleDiagServerConfig - CDuzuVideoCaptureDevice::SetXU() failed!", hr);
    return hr;
  }
  const PollRules rules{
      .status_read_context =
          "HandleDiagServerConfig - XUEchoThread - GetXU(XU_OPCODE_STATUS_INTERRUPT) failed!",
      .reply_read_context = "XUEchoThread - GetXU() failed!",
  };
  DiagReplyJudge judge;
  return PollForReply(device, rules, judge);
}

}  // namespace hx
