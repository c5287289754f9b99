#include "model/diag_responder.h"

#include "model/device_status.h"
#include "protocol/opcodes.h"

namespace hx::emu {

void DiagResponder::Answer(const XuPacket& request, std::vector<XuPacket>& replies) {
  XuPacket reply;
  reply.SetOpcode(faults_.diag_server_reply ? XU_OPCODE_DIAG_SERVER_CONFIG
                                            : XU_OPCODE_DIAG_UPLOAD_CELOG);
  reply.SetArg0(1);
  // The request is taken; whether the upload could be queued is the UploadStatus.
  if (!log_server_.Record(request.FlushLog() != 0 ? "CELOG (log flushed)" : "CELOG")) {
    reply.SetUploadStatus(kStatusFailed);
  }
  if (faults_.upload_status) {
    reply.SetUploadStatus(*faults_.upload_status);
  }
  replies.push_back(reply);
}

}  // namespace hx::emu
