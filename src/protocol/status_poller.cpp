#include "protocol/status_poller.h"

#include "console/report_error.h"
#include "protocol/device_message.h"
#include "protocol/opcodes.h"
#include "protocol/status_packet.h"

namespace hx {
namespace {

void ReportIf(const char* context, HRESULT code) {
  if (context != nullptr) {
    ReportError(context, code);
  }
}

// Reads the replies of one status list. Returns a verdict that ends the loop, or Drop with
// the result of the last read made.
ReplyVerdict ReadListedReplies(CDuzuVideoCaptureDevice& device, const PollRules& rules,
                               ReplyJudge& judge, const XuStatusPacket& status,
                               HRESULT status_result) {
  HRESULT last_read = status_result;
  XuPacket reply;
  for (const std::uint8_t opcode : status.Entries()) {
    if (rules.only_opcode && opcode != *rules.only_opcode) {
      continue;
    }
    reply.Clear();
    last_read = device.GetXU(SelectorFor(opcode), reply.Bytes());
    if (FAILED(last_read)) {
      ReportIf(rules.reply_read_context, last_read);
      if (rules.reply_failure_ends_list) {
        break;
      }
      continue;
    }
    const ReplyVerdict verdict = judge.Judge(reply, last_read);
    if (verdict.finished) {
      return verdict;
    }
  }
  return {false, last_read};
}

}  // namespace

HRESULT ReplyJudge::EndOnStatusFailure(const char* context, HRESULT failure) {
  ReportIf(context, failure);
  return failure;
}

HRESULT PollForReply(CDuzuVideoCaptureDevice& device, const PollRules& rules, ReplyJudge& judge) {
  XuPacket status_bytes;
  for (std::uint32_t polls = 1;; ++polls) {
    const WaitResult wait = device.StatusEvent().Wait(rules.wait_limit_ms);
    if (rules.failed_wait_ends && wait.outcome == WaitOutcome::kFailed) {
      return wait.error;
    }
    if (const HRESULT hr = judge.AfterWait(); FAILED(hr)) {
      return hr;
    }
    status_bytes.Clear();
    const HRESULT status_result = device.GetXU(kStatusSelector, status_bytes.Bytes());
    if (FAILED(status_result)) {
      return judge.EndOnStatusFailure(rules.status_read_context, status_result);
    }
    const XuStatusPacket status(status_bytes);
    if (rules.device_messages && status.IsDeviceMessage()) {
      ReportDeviceMessage(status_bytes);
      return status_result;
    }
    const ReplyVerdict verdict = ReadListedReplies(device, rules, judge, status, status_result);
    if (verdict.finished || rules.one_pass) {
      return verdict.result;
    }
    if (rules.poll_limit && polls >= *rules.poll_limit) {
      ReportIf(rules.poll_limit_context, kHrTimeout);
      return kHrTimeout;
    }
  }
}

}  // namespace hx
