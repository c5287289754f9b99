#include <memory>

#include "console/console_io.h"
#include "operations/image_update.h"
#include "protocol/opcodes.h"

namespace hx {
namespace {

struct WorkerStep {
  HRESULT result;
  const char* failure_context;
};

// Answers one reply: the info acceptance and each block echo with the next block, the last
// echo with the flush. A corruption report means the image cannot be completed.
WorkerStep AnswerReply(CImageUpdate& update, const XuPacket& reply) {
  switch (reply.Opcode()) {
    case XU_OPCODE_IMGUPD_INFO:
      Console().WriteNarrow("Starting Image Update process...\r\n");
      return {update.SendBlock(), "SendBlock failed!"};
    case XU_OPCODE_IMGUPD_ECHO:
      update.ShowProgress();
      if (!update.FileDrained()) {
        return {update.SendBlock(), "SendBlock failed!"};
      }
      Console().WriteNarrow("\r\nFlushing file, do NOT power down the device!\r\n");
      return {update.SendFlush(), "SendFlush failed!"};
    case XU_OPCODE_IMGUPD_DATA:
      return {kHrDataError, "Packet corruption!"};
    default:
      return {S_OK, nullptr};
  }
}

}  // namespace

void ImageUpdateWorker(CImageUpdate& update) {
  for (;;) {
    const Completion completion = update.completion_port_.Take();
    if (completion.byte_count == CImageUpdate::kWorkerFence) {
      update.worker_idle_.Set();
      continue;
    }
    if (completion.byte_count != 0) {
      break;
    }
    if (completion.key == nullptr) {
      continue;
    }
    const std::unique_ptr<XuPacket> reply(static_cast<XuPacket*>(completion.key));
    const WorkerStep step = AnswerReply(update, *reply);
    if (FAILED(step.result)) {
      update.StopOnFailure(step.failure_context, step.result);
      break;
    }
  }
  update.NoteWorkerEnded();
}

}  // namespace hx
