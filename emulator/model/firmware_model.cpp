#include "model/firmware_model.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "model/device_status.h"
#include "model/diag_responder.h"
#include "model/dsp_responder.h"
#include "model/state_recovery.h"
#include "model/system_config_responder.h"
#include "protocol/opcodes.h"

namespace hx::emu {
namespace {

std::uint8_t OpcodeOf(std::uint8_t selector) {
  return static_cast<std::uint8_t>(selector - 1);
}

}  // namespace

FirmwareModel::FirmwareModel(FirmwareOptions options, FirmwarePieces pieces)
    : options_(std::move(options)),
      pieces_(std::move(pieces)),
      faults_(options_.faults),
      passcode_(options_.passcode, StateDirectory()),
      passcode_commands_(passcode_, connection_),
      config_check_(pieces_.xml),
      slots_(StateDirectory(), [this](std::uint8_t index) { SlotCommitted(index); }),
      transfer_(slots_, connection_, options_.faults),
      clock_(StateDirectory()),
      log_server_(StateDirectory()),
      clock_commands_(clock_, connection_, options_.faults.config),
      config_commands_(slots_, config_check_, log_server_, connection_, options_.faults.config,
                       [this] { reboot_pending_ = true; }) {
  config_check_.Start(slots_.Open(kConfigImageIndex));
  auto config = std::make_unique<SystemConfigResponder>(connection_);
  passcode_commands_.AddTo(*config);
  clock_commands_.AddTo(*config);
  config_commands_.AddTo(*config);
  responders_[XU_OPCODE_SYSTEM_CONFIG] = std::move(config);
  responders_[XU_OPCODE_IMGUPD_INFO] =
      std::make_unique<ImageResponder>(transfer_, &ImageTransfer::Info);
  responders_[XU_OPCODE_IMGUPD_DATA] =
      std::make_unique<ImageResponder>(transfer_, &ImageTransfer::Data);
  responders_[XU_OPCODE_IMGUPD_ECHO] =
      std::make_unique<ImageResponder>(transfer_, &ImageTransfer::Commit);
  responders_[XU_OPCODE_VDSP_RESPONSE] =
      std::make_unique<DspResponder>(options_.daa, options_.faults);
  responders_[XU_OPCODE_DIAG_UPLOAD_CELOG] =
      std::make_unique<DiagResponder>(log_server_, options_.faults.config);
  UpdateTarget& device = *this;
  auto net_update = std::make_unique<NetUpdate>(
      device, connection_, pieces_.http, options_.net_update_pace, options_.faults.net_update);
  net_update_ = net_update.get();
  responders_[XU_OPCODE_IMGUPD_NET_INFO] = std::move(net_update);
}

FirmwareModel::~FirmwareModel() {
  net_update_->Stop();
}

CStateDirectory* FirmwareModel::StateDirectory() {
  if (options_.state_dir.empty()) {
    return nullptr;
  }
  // A directory that cannot be opened stays closed, and every slot write through it fails.
  // One that cannot be recovered is used as it is: what cannot be undone there fails as it
  // comes.
  if (!state_dir_.IsOpen() && SUCCEEDED(state_dir_.Open(options_.state_dir))) {
    RecoverStateDirectory(state_dir_);
  }
  return &state_dir_;
}

CommitPause FirmwareModel::PauseForFault() const {
  const std::optional<CommitStep> pause_at = options_.faults.net_update.commit_pause;
  if (!pause_at) {
    return {};
  }
  return [pause_at](CommitStep step) {
    if (step != *pause_at) {
      return;
    }
    std::fprintf(stderr, "commit-pause: stopped at %s\n", CommitStepName(step).data());
    std::fflush(stderr);
    for (;;) {
      std::this_thread::sleep_for(std::chrono::hours(1));
    }
  };
}

void FirmwareModel::SlotCommitted(std::uint8_t index) {
  if (index == kConfigImageIndex) {
    config_check_.Start(slots_.Open(index));
  }
}

void FirmwareModel::SetInterruptSink(std::function<void()> sink) {
  std::lock_guard lock(mutex_);
  sink_ = std::move(sink);
}

HRESULT FirmwareModel::HandleSet(std::uint8_t selector, XuConstBytes packet) {
  std::uint32_t raised = 0;
  {
    std::lock_guard lock(mutex_);
    if (const auto failure = faults_.TransferFailure(TransferFault::Direction::kSet, selector)) {
      return *failure;
    }
    // A host that never reads its replies would otherwise have the device hold them without
    // end; with no room left the device stalls its requests instead.
    if (queue_.Full()) {
      return kTransferStalled;
    }
    const XuPacket request = XuPacket::FromBytes(packet);
    if (options_.record_transfers) {
      received_.push_back({selector, request});
    }
    const std::uint8_t opcode = OpcodeOf(selector);
    const auto responder = responders_.find(opcode);
    if (responder != responders_.end()) {
      std::vector<XuPacket> replies;
      responder->second->Answer(request, replies);
      raised = QueueReplies(opcode, replies);
    }
  }
  RaiseInterrupts(raised);
  return S_OK;
}

HRESULT FirmwareModel::HandleGet(std::uint8_t selector, XuBytes packet) {
  std::lock_guard lock(mutex_);
  if (const auto failure = faults_.TransferFailure(TransferFault::Direction::kGet, selector)) {
    return *failure;
  }
  XuPacket reply;
  if (selector == kStatusSelector) {
    reply = faults_.TakeDeviceMessage().value_or(queue_.StatusPacket());
  } else {
    reply = queue_.Take(OpcodeOf(selector)).value_or(XuPacket());
  }
  std::ranges::copy(reply.Bytes(), packet.begin());
  return S_OK;
}

bool FirmwareModel::PostReply(const XuPacket& reply) {
  std::uint32_t raised = 0;
  {
    std::lock_guard lock(mutex_);
    if (!queue_.Push(reply)) {
      return false;
    }
    raised = faults_.InterruptsToRaise(1);
  }
  RaiseInterrupts(raised);
  return true;
}

bool FirmwareModel::UpdateReplyWaiting() const {
  std::lock_guard lock(mutex_);
  return queue_.Holds(XU_OPCODE_IMGUPD_NET_INFO);
}

std::unique_ptr<StagedImages> FirmwareModel::StageImages() {
  std::lock_guard lock(mutex_);
  return slots_.StageImages(options_.faults.net_update.staging_space);
}

bool FirmwareModel::CommitImages(StagedImages& staged) {
  std::lock_guard lock(mutex_);
  return slots_.Commit(staged, PauseForFault());
}

std::optional<SlotReader> FirmwareModel::ReadImage(std::uint8_t index) const {
  std::lock_guard lock(mutex_);
  return slots_.Open(index);
}

bool FirmwareModel::TakeDisconnect() {
  // A reboot drops the link once its request has been taken, as a device that resets does.
  if (reboot_pending_.load(std::memory_order_relaxed) && reboot_pending_.exchange(false)) {
    return true;
  }
  // Asked after every transfer: a device without the fault answers without taking the lock.
  if (!options_.faults.disconnect_after) {
    return false;
  }
  std::lock_guard lock(mutex_);
  return faults_.TakeDisconnect();
}

bool FirmwareModel::Silent() const {
  if (!options_.faults.silent_after) {
    return false;
  }
  std::lock_guard lock(mutex_);
  return faults_.Silent();
}

void FirmwareModel::ConnectionEnded() {
  // Before the lock: the update takes it to report, and is waited for here.
  net_update_->Stop();
  std::lock_guard lock(mutex_);
  transfer_.Abandon();
  queue_.Clear();
  connection_ = {};
}

std::vector<ReceivedSet> FirmwareModel::ReceivedSets() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::optional<std::vector<std::uint8_t>> FirmwareModel::SlotContents(std::uint8_t index) const {
  std::lock_guard lock(mutex_);
  return slots_.Contents(index);
}

std::optional<ClockSetting> FirmwareModel::Clock() const {
  std::lock_guard lock(mutex_);
  return clock_.Setting();
}

std::vector<std::string> FirmwareModel::LogServerRecord() const {
  std::lock_guard lock(mutex_);
  return log_server_.Lines();
}

std::uint32_t FirmwareModel::QueueReplies(std::uint8_t opcode, std::vector<XuPacket>& replies) {
  const FaultPlan& plan = options_.faults;
  if (plan.no_reply.contains(opcode) || replies.empty()) {
    return 0;
  }
  std::uint32_t queued = 0;
  for (const std::uint8_t extra : plan.extra_replies) {
    XuPacket noise;
    noise.SetOpcode(extra);
    queued += queue_.Push(noise) ? 1 : 0;
  }
  for (XuPacket& reply : replies) {
    // Keyed by the reply's own opcode: a request may be answered on another opcode.
    if (const auto status = plan.failure_status.find(reply.Opcode());
        status != plan.failure_status.end()) {
      reply.SetStatus(status->second);
    }
    queued += queue_.Push(reply) ? 1 : 0;
  }
  return faults_.InterruptsToRaise(queued);
}

void FirmwareModel::RaiseInterrupts(std::uint32_t raised) {
  std::function<void()> sink;
  {
    std::lock_guard lock(mutex_);
    sink = sink_;
  }
  for (std::uint32_t i = 0; sink && i < raised; ++i) {
    sink();
  }
}

}  // namespace hx::emu
