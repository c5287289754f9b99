#include <new>

#include "console/console_io.h"
#include "console/report_error.h"
#include "operations/handlers.h"
#include "operations/image_file.h"
#include "operations/image_update.h"
#include "operations/image_update_flow.h"
#include "operations/mode_options.h"
#include "operations/passcode.h"
#include "operations/status_poller.h"
#include "protocol/image_slots.h"
#include "protocol/opcodes.h"

namespace hx {
namespace {

// Judges the transfer's replies on the reading thread: failures and the flush echo end the
// transfer; every other reply moves it on and goes to the worker.
class TransferReplyJudge final : public ReplyJudge {
 public:
  explicit TransferReplyJudge(CImageUpdate& update) : update_(update) {}

  ReplyVerdict Judge(const XuPacket& reply, HRESULT read_result) override {
    const bool answers_transfer =
        reply.Opcode() == XU_OPCODE_IMGUPD_ECHO || reply.Opcode() == XU_OPCODE_IMGUPD_INFO;
    if (answers_transfer && reply.Status() != 0) {
      return ReplyVerdict::Finish(
          update_.EndWithFailure("XUEchoThread - Image Update failed!", reply.Status()));
    }
    if (reply.Opcode() == XU_OPCODE_IMGUPD_ECHO && reply.BlockMarker() == BLOCK_MARKER_FLUSH) {
      Console().WriteNarrow("Image Update completed.\r\n");
      return ReplyVerdict::Finish(read_result);
    }
    // The copy belongs to the worker once posted; until then, and if posting fails, to us.
    auto* copy = new (std::nothrow) XuPacket(reply);
    if (copy == nullptr) {
      return ReplyVerdict::Drop();
    }
    if (const HRESULT hr = update_.PostXU(copy); FAILED(hr)) {
      ReportError("CImageUpdate::PostXU() failed!", hr);
      delete copy;
    }
    return ReplyVerdict::Drop();
  }

  // A worker that stopped on a failure has reported it; the transfer ends with it.
  HRESULT AfterWait() override { return update_.TransferFailure(); }

  // The link that failed the status read may have failed the worker's write first: the
  // transfer's failure is reported once, by whichever thread met it first.
  HRESULT EndOnStatusFailure(const char* context, HRESULT failure) override {
    return update_.EndWithFailure(context, failure);
  }

 private:
  CImageUpdate& update_;
};

}  // namespace

HRESULT XUEchoThread(CDuzuVideoCaptureDevice& device, CImageUpdate& update) {
  HRESULT hr = update.SendXUInfo();
  if (FAILED(hr)) {
    ReportError("CImageUpdate::SendXUInfo() failed!", hr);
    return hr;
  }
  const PollRules rules{
      .status_read_context = "XUEchoThread - GetXU(XU_OPCODE_STATUS_INTERRUPT) failed!",
      .reply_read_context = "XUEchoThread - GetXU() failed!",
  };
  TransferReplyJudge judge(update);
  return PollForReply(device, rules, judge);
}

HRESULT HandleImageUpdateMode(const ModeOptions& options, CDuzuVideoCaptureDevice& device) {
  CImageUpdate update;
  HRESULT hr = ValidatePasscode(XU_OPCODE_IMGUPD_INFO, device);
  if (FAILED(hr)) {
    ReportError("ValidatePasscode() failed!", hr);
    return hr;
  }
  const auto image_index = static_cast<std::uint8_t>(options.Image.ImageIndex);
  if (!ImageNeedsSignature(options.Image)) {
    hr = update.Initialize(&device, image_index, options.Image.ImageFile);
  } else {
    // The device takes a new signature as soon as it has arrived: an image that cannot follow
    // it (missing, empty, too large, declined) must be found out before it goes, or the
    // device is left with the new signature beside the old image.
    CImageFile image;
    hr = image.Open(image_index, options.Image.ImageFile);
    if (SUCCEEDED(hr)) {
      hr = update.Initialize(&device, kSignatureImageIndex, options.Image.SignatureFile);
    }
    if (FAILED(hr)) {
      ReportError("CImageUpdate::Initialize() failed!", hr);
      return hr;
    }
    Console().WriteWide(L"Uploading signature file....\r\n");
    hr = XUEchoThread(device, update);
    if (FAILED(hr)) {
      return hr;
    }
    update.Uninitialize();
    hr = update.Initialize(&device, image_index, std::move(image));
  }
  if (FAILED(hr)) {
    ReportError("CImageUpdate::Initialize() failed!", hr);
    return hr;
  }
  return XUEchoThread(device, update);
}

}  // namespace hx
