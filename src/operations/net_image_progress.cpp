#include "operations/net_image_progress.h"

#include <algorithm>
#include <array>

#include "console/bounded_text.h"
#include "console/console_io.h"
#include "console/console_print.h"
#include "console/run_log.h"
#include "operations/status_poller.h"
#include "protocol/net_image_steps.h"
#include "protocol/opcodes.h"

namespace hx {
namespace {

// Every opcode-4 reply of the list is taken; one that carries a failure ends the pass.
class StepResultJudge final : public ReplyJudge {
 public:
  StepResultJudge(XuPacket& record, const std::atomic<bool>& stop) : record_(record), stop_(stop) {}

  ReplyVerdict Judge(const XuPacket& reply, HRESULT) override {
    if (reply.Opcode() != XU_OPCODE_IMGUPD_NET_INFO) {
      return ReplyVerdict::Drop();
    }
    std::ranges::copy(reply.Payload(), record_.Payload().begin());
    if (reply.Status() != 0) {
      return ReplyVerdict::Finish(reply.Status());
    }
    return ReplyVerdict::Drop();
  }

  // The handler's stop comes with a signal of the status event, so it is seen after a wait.
  HRESULT AfterWait() override { return stop_.load() ? E_ABORT : S_OK; }

 private:
  XuPacket& record_;
  const std::atomic<bool>& stop_;
};

struct StageLine {
  std::uint8_t step;
  const char* text;
};

// The stages whose line ends in the verdict, "...SUCCEEDED!" or "...FAILED!". The validation
// stage's text brings its own line end, so its verdict stands on a line of its own.
constexpr std::array<StageLine, 13> kStageLines = {{
    {NETIMG_STEP_SERVER, "Setting server information"},
    {NETIMG_STEP_URL, "Setting URI information"},
    {NETIMG_STEP_PORT, "Setting port information"},
    {NETIMG_STAGE_STARTING, "Starting image update"},
    {NETIMG_STAGE_BUILDING_MANIFEST, "Building file manifest"},
    {NETIMG_STAGE_SENDING_REQUEST, "Sending request to server"},
    {NETIMG_STAGE_RECEIVING_MANIFEST, "Receiving file manifest from server"},
    {NETIMG_STAGE_GETTING_IMAGES, "Getting images"},
    {NETIMG_STAGE_PREPARING_VALIDATION, "Preparing to validate image"},
    {NETIMG_STAGE_VALIDATION, "Image validation\r\n"},
    {NETIMG_STAGE_POST_DOWNLOAD, "Post image download process"},
    {NETIMG_STAGE_FLASHING, "Flashing images"},
    {NETIMG_STAGE_INITIALIZING, "Initializing image update"},
}};

const char* StageText(std::uint8_t step) {
  const auto line = std::ranges::find(kStageLines, step, &StageLine::step);
  return line == kStageLines.end() ? nullptr : line->text;
}

// StepCount is compared unsigned: 200 itself passes.
bool StepFailed(const XuPacket& record) {
  return record.Status() != 0 || record.StepCount() > kNetImageMaxStepCount;
}

void PrintFailure(const char* text, const XuPacket& record) {
  PrintNarrowF("%s...FAILED!  Error = 0x%08X (%d)\r\n", text,
               static_cast<unsigned>(record.Status()), static_cast<int>(record.StepCount()));
}

void PrintProgress(const XuPacket& record) {
  Log().Progress({std::nullopt, std::nullopt, record.Percent()});
  std::array<char, 64> line{};
  FormatBoundedA(line, "Download %d%% done.\r\n", static_cast<int>(record.Percent()));
  Console().WriteNarrowInPlace(line.data());
}

enum class StepVerdict { kNext, kFailed, kSucceeded };

// Prints what the step in the record calls for and says whether the update goes on.
StepVerdict HandleStep(const XuPacket& record) {
  const std::uint8_t step = record.ReplyStep();
  if (step == NETIMG_STAGE_SUCCEEDED) {
    Console().WriteNarrow("Image update succeed.  Please restart the device.\r\n");
    return StepVerdict::kSucceeded;
  }
  if (step == NETIMG_STAGE_DOWNLOAD_PROGRESS) {
    PrintProgress(record);
    return StepVerdict::kNext;
  }
  if (step == NETIMG_STAGE_NAND_WRITE) {
    if (!StepFailed(record)) {
      return StepVerdict::kNext;
    }
    PrintFailure("NAND write", record);
    return StepVerdict::kFailed;
  }
  const char* text = StageText(step);
  if (text == nullptr) {
    return StepVerdict::kNext;
  }
  if (StepFailed(record)) {
    PrintFailure(text, record);
    return StepVerdict::kFailed;
  }
  PrintNarrowF("%s...SUCCEEDED!\r\n", text);
  return StepVerdict::kNext;
}

// The ending: the failure line, and the result the run ends with.
HRESULT EndUpdate(HRESULT last_check, const XuPacket& record, StepVerdict verdict) {
  if (FAILED(last_check) || record.Status() != 0) {
    Console().WriteNarrow("Image Update failed.\r\n");
  }
  if (record.Status() != 0) {
    return record.Status();
  }
  if (FAILED(last_check)) {
    return last_check;
  }
  return verdict == StepVerdict::kFailed ? E_FAIL : S_OK;
}

}  // namespace

HRESULT CheckForSuccess(CDuzuVideoCaptureDevice& device, XuPacket& record,
                        const std::atomic<bool>& stop) {
  const PollRules rules{
      .failed_wait_ends = true,
      .status_read_context = "CheckForSuccess - GetXU(XU_OPCODE_STATUS_INTERRUPT) failed!",
      .reply_read_context = "XUEchoThread - GetXU() failed!",
      .one_pass = true,
  };
  StepResultJudge judge(record, stop);
  return PollForReply(device, rules, judge);
}

void NetImageProgressThread(NetImageProgressContext& context) {
  XuPacket record;
  for (;;) {
    const HRESULT checked = CheckForSuccess(*context.device, record, context.stop);
    if (context.stop.load()) {
      return;
    }
    // A device that has gone reports no further stage: waiting for one would never end. Nor
    // does one that has said nothing for as long as an unattended run waits.
    if (checked == kHrDeviceNotConnected || checked == kHrTimeout) {
      context.outcome = EndUpdate(checked, record, StepVerdict::kFailed);
      return;
    }
    const StepVerdict verdict = HandleStep(record);
    if (verdict != StepVerdict::kNext) {
      context.outcome = EndUpdate(checked, record, verdict);
      return;
    }
    context.step_event->Set();
  }
}

}  // namespace hx
