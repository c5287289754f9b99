#pragma once
// The virtual HX7300's firmware: the device side of every exchange, behind the two transfers
// of the extension unit and its status interrupt. Used in-process by the emulator backend and
// served over the virtual device link by hx7300-emulator.
//
// Thread-safe: every call takes the model's lock. The interrupt sink is called without it.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "model/clock_commands.h"
#include "model/config_check.h"
#include "model/config_commands.h"
#include "model/connection_state.h"
#include "model/device_clock.h"
#include "model/fault_injector.h"
#include "model/firmware_options.h"
#include "model/http_fetch.h"
#include "model/image_transfer.h"
#include "model/log_server.h"
#include "model/net_update.h"
#include "model/passcode_commands.h"
#include "model/passcode_store.h"
#include "model/reply_queue.h"
#include "model/responder.h"
#include "model/slot_store.h"
#include "model/xml_check.h"
#include "platform/hresult.h"
#include "platform/state_directory.h"
#include "protocol/xu_packet.h"

namespace hx::emu {

/// A packet written to the device, as it arrived.
struct ReceivedSet {
  std::uint8_t selector;
  XuPacket packet;
};

/// What the device does with parts that are not its own: a network update needs an HTTP client,
/// the configuration's parse result an XML parser. A device without one answers what needs it
/// as not supported (0x80070032).
struct FirmwarePieces {
  HttpFetcherFactory http{};
  XmlCheckFactory xml{};
};

class FirmwareModel final : private UpdateTarget {
 public:
  explicit FirmwareModel(FirmwareOptions options = {}, FirmwarePieces pieces = {});
  /// A network update in progress ends first: it reports through the rest of the model.
  ~FirmwareModel() override;
  FirmwareModel(const FirmwareModel&) = delete;
  FirmwareModel& operator=(const FirmwareModel&) = delete;

  /// Called once per status interrupt the device raises, on the thread of the transfer that
  /// caused it. An empty sink drops them.
  void SetInterruptSink(std::function<void()> sink);

  /// A SetXU: the request is handed to its opcode's responder (selector - 1) and every reply it
  /// answers with is queued and raises one interrupt. S_OK, a refusal the fault plan gives, or
  /// 0x8007001F (a stall) while the reply queue is full.
  HRESULT HandleSet(std::uint8_t selector, XuConstBytes packet);
  /// A GetXU: selector 1 gives the status packet; selector n + 1 takes the oldest waiting reply
  /// of opcode n (all zero when none waits).
  HRESULT HandleGet(std::uint8_t selector, XuBytes packet);

  /// Queues a reply that the firmware produces later, on any thread (a download's progress,
  /// say); it raises its interrupt like any other. False, and nothing queued, when the queue
  /// is full. Must not be called from a responder.
  bool PostReply(const XuPacket& reply);

  const std::string& DevicePath() const { return options_.device_path; }
  const FirmwareOptions& Options() const { return options_; }
  /// The link delay every transfer carries.
  std::chrono::microseconds TransferLatency() const {
    return std::chrono::microseconds(options_.faults.latency_us);
  }
  /// True once, after the transfer at which the device drops its link: the one that asked it
  /// to reboot, or the one the disconnect fault names.
  bool TakeDisconnect();
  /// True once the device has stopped answering: whatever carries transfers to it leaves them
  /// without an answer from then on, and does not hand them to HandleSet or HandleGet.
  bool Silent() const;
  /// The host has gone, or the device has reset: what the host was authorised for, its
  /// signature, the replies it left unread, an image transfer and a network update in progress
  /// are forgotten. Slots, passcode, clock and the log server's record stay.
  void ConnectionEnded();
  /// Every packet written to the device so far, oldest first; empty unless the options say
  /// record_transfers.
  std::vector<ReceivedSet> ReceivedSets() const;
  /// The contents of image slot index; nullopt for a slot never written.
  std::optional<std::vector<std::uint8_t>> SlotContents(std::uint8_t index) const;
  /// The clock and time zone as last set; nullopt while they have not been.
  std::optional<ClockSetting> Clock() const;
  /// What the device has uploaded to its log server, oldest first.
  std::vector<std::string> LogServerRecord() const;

 private:
  // What the network update uses of the device.
  bool PostUpdateReply(const XuPacket& reply) override { return PostReply(reply); }
  bool UpdateReplyWaiting() const override;
  std::unique_ptr<StagedImages> StageImages() override;
  bool CommitImages(StagedImages& staged) override;
  std::optional<SlotReader> ReadImage(std::uint8_t index) const override;

  std::uint32_t QueueReplies(std::uint8_t opcode, std::vector<XuPacket>& replies);
  void RaiseInterrupts(std::uint32_t raised);

  /// The state directory that slots and a changed passcode are kept in, or null. Opening it
  /// recovers it from whatever moment the device was stopped at before.
  CStateDirectory* StateDirectory();
  /// Where a commit stops for good, as the commit-pause fault says; empty without the fault.
  CommitPause PauseForFault() const;
  void SlotCommitted(std::uint8_t index);

  const FirmwareOptions options_;
  const FirmwarePieces pieces_;
  mutable std::mutex mutex_;
  CStateDirectory state_dir_;
  FaultInjector faults_;
  ReplyQueue queue_;
  ConnectionState connection_;
  PasscodeStore passcode_;
  PasscodeCommands passcode_commands_;
  ConfigCheck config_check_;
  SlotStore slots_;
  ImageTransfer transfer_;
  DeviceClock clock_;
  LogServer log_server_;
  ClockCommands clock_commands_;
  ConfigCommands config_commands_;
  std::atomic<bool> reboot_pending_{false};
  std::map<std::uint8_t, std::unique_ptr<Responder>> responders_;
  NetUpdate* net_update_ = nullptr;  ///< the responder of opcode 4
  std::function<void()> sink_;
  std::vector<ReceivedSet> received_;
};

}  // namespace hx::emu
