#include "operations/status_poller.h"

#include "console/report_error.h"
#include "operations/device_message_report.h"
#include "protocol/device_message.h"
#include "protocol/opcodes.h"
#include "protocol/status_packet.h"

namespace hx {
namespace {

std::optional<std::uint32_t> g_unattended_wait_limit_ms;

void ReportIf(const char* context, HRESULT code) {
  if (context != nullptr) {
    ReportError(context, code);
  }
}

struct ListOutcome {
  ReplyVerdict verdict;  ///< ends the loop, or Drop with the result of the last read made
  bool read_failed;      ///< a listed reply could not be read and may still be waiting
};

// Reads the replies of one status list.
ListOutcome ReadListedReplies(CDuzuVideoCaptureDevice& device, const PollRules& rules,
                              ReplyJudge& judge, const XuStatusPacket& status,
                              HRESULT status_result) {
  HRESULT last_read = status_result;
  bool read_failed = false;
  XuPacket reply;
  for (const std::uint8_t opcode : status.Entries()) {
    if (rules.only_opcode && opcode != *rules.only_opcode) {
      continue;
    }
    reply.Clear();
    last_read = device.GetXU(SelectorFor(opcode), reply.Bytes());
    if (FAILED(last_read)) {
      read_failed = true;
      ReportIf(rules.reply_read_context, last_read);
      if (rules.reply_failure_ends_list) {
        break;
      }
      continue;
    }
    const ReplyVerdict verdict = judge.Judge(reply, last_read);
    if (verdict.finished) {
      return {verdict, read_failed};
    }
  }
  return {{false, last_read}, read_failed};
}

}  // namespace

void SetUnattendedWaitLimit(std::optional<std::uint32_t> limit_ms) {
  g_unattended_wait_limit_ms = limit_ms;
}

HRESULT ReplyJudge::EndOnStatusFailure(const char* context, HRESULT failure) {
  ReportIf(context, failure);
  return failure;
}

HRESULT PollForReply(CDuzuVideoCaptureDevice& device, const PollRules& rules, ReplyJudge& judge) {
  XuPacket status_bytes;
  std::uint32_t polls = 0;
  bool read_again = false;
  for (;;) {
    // A reply whose read failed is still queued, and its interrupt has been spent: the status
    // is read once more at once, or that reply would wait for an interrupt that never comes.
    if (!read_again) {
      ++polls;
      const WaitResult wait = device.StatusEvent().Wait(
          rules.wait_limit_ms ? rules.wait_limit_ms : g_unattended_wait_limit_ms);
      if (rules.failed_wait_ends && wait.outcome == WaitOutcome::kFailed) {
        return wait.error;
      }
      if (!rules.wait_limit_ms && wait.outcome == WaitOutcome::kTimedOut) {
        return judge.EndOnStatusFailure(rules.status_read_context, kHrTimeout);
      }
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
    const ListOutcome outcome = ReadListedReplies(device, rules, judge, status, status_result);
    if (outcome.verdict.finished || rules.one_pass) {
      return outcome.verdict.result;
    }
    read_again = outcome.read_failed && !read_again;
    if (!read_again && rules.poll_limit && polls >= *rules.poll_limit) {
      ReportIf(rules.poll_limit_context, kHrTimeout);
      return kHrTimeout;
    }
  }
}

}  // namespace hx
