#pragma once
// The one status-polling loop: after an operation has written its request it waits for the
// status interrupt, reads the status packet, and reads the listed replies until the reply it
// awaits has come. Each operation gives its own particulars as a PollRules value and judges
// the replies through a ReplyJudge.

#include <cstdint>
#include <optional>

#include "device/capture_device.h"
#include "platform/hresult.h"
#include "protocol/xu_packet.h"

namespace hx {

struct PollRules {
  /// Wait limit on the status-interrupt event; nullopt waits without a limit.
  std::optional<std::uint32_t> wait_limit_ms{};
  /// A failed wait ends the loop with its error; otherwise the outcome is not examined and
  /// the status read follows as after a signal.
  bool failed_wait_ends = false;
  /// ReportError context for a failed status read; null: the failure is returned unreported.
  const char* status_read_context = nullptr;
  /// ReportError context for a failed reply read; null: skipped without a report.
  const char* reply_read_context = nullptr;
  /// A failed reply read leaves the rest of that list unread.
  bool reply_failure_ends_list = false;
  /// When set, only list entries equal to this opcode are read; the others are passed over.
  std::optional<std::uint8_t> only_opcode{};
  /// A status packet whose byte 4 is 0xFE or 0xFF is a device message: it is printed and the
  /// loop ends with the status read's result.
  bool device_messages = false;
  /// End after one pass over one status packet instead of waiting again. Otherwise a pass in
  /// which a listed reply could not be read is followed at once by one more status read, so
  /// that a reply still queued is taken without an interrupt of its own.
  bool one_pass = false;
  /// Give up after this many waits without the awaited reply: report limit_context with
  /// 0x800705B4 and return it.
  std::optional<std::uint32_t> poll_limit{};
  const char* poll_limit_context = nullptr;
};

/// What the loop does after a reply has been judged.
struct ReplyVerdict {
  bool finished;  ///< the awaited reply: the loop ends with result
  HRESULT result;

  static ReplyVerdict Drop() { return {false, S_OK}; }
  static ReplyVerdict Finish(HRESULT result) { return {true, result}; }
};

class ReplyJudge {
 public:
  virtual ~ReplyJudge() = default;
  /// Judges one reply that was read successfully (read_result is the read's own result).
  virtual ReplyVerdict Judge(const XuPacket& reply, HRESULT read_result) = 0;
  /// Called before every status read (after its wait, where there is one); a failure ends the
  /// loop with it, unreported (the party that failed has reported it).
  virtual HRESULT AfterWait() { return S_OK; }
  /// A failed status read ends the loop: reports it under context (when given) and returns the
  /// result the loop ends with.
  virtual HRESULT EndOnStatusFailure(const char* context, HRESULT failure);
};

/// Puts a limit on every wait for the status interrupt that its rules leave unlimited (for runs
/// that nobody attends, HX7300_TIMEOUT): a wait that reaches it ends the loop as a failed status
/// read does, with 0x800705B4. nullopt, as a run starts, leaves those waits unlimited. Set
/// before the device is used.
void SetUnattendedWaitLimit(std::optional<std::uint32_t> limit_ms);

/// Runs the loop on the calling thread. Returns the verdict's result, a failure of the loop
/// itself (status read, wait, poll limit), or, in one-pass mode, the result of the last read.
HRESULT PollForReply(CDuzuVideoCaptureDevice& device, const PollRules& rules, ReplyJudge& judge);

}  // namespace hx
