#pragma once
// The image upload on opcodes 5, 6 and 7: an info packet announces the slot and size, data
// packets fill a block of at most 85 packets, each block is committed and echoed, and a flush
// makes the whole image the slot's contents. Every packet is checked against what the transfer
// expects; a broken transfer is dropped and never reaches its slot.

#include <cstdint>
#include <vector>

#include "model/connection_state.h"
#include "model/firmware_options.h"
#include "model/responder.h"
#include "model/slot_store.h"

namespace hx::emu {

class ImageTransfer {
 public:
  ImageTransfer(SlotStore& slots, ConnectionState& connection, const FaultPlan& faults)
      : slots_(slots), connection_(connection), faults_(faults) {}

  /// An info packet: answered with reply 5; Status 0 when staging has begun. Drops any transfer
  /// in progress.
  void Info(const XuPacket& request, std::vector<XuPacket>& replies);
  /// A data packet: added to the block, or, when it does not fit the transfer, answered with a
  /// corruption report (reply 6) that ends the transfer; the rest of that block and its commit
  /// go unanswered.
  void Data(const XuPacket& request, std::vector<XuPacket>& replies);
  /// A block commit or the flush: answered with reply 7 echoing BlockMarker and BlockNumber.
  void Commit(const XuPacket& request, std::vector<XuPacket>& replies);
  /// Drops a transfer in progress, as when its host goes.
  void Abandon();

 private:
  enum class State { kIdle, kStaging, kBroken };

  std::int32_t Admission(const XuPacket& info) const;
  bool Fits(const XuPacket& data) const;
  bool CorruptionDue();
  std::int32_t CommitBlock(const XuPacket& commit);
  std::int32_t BlockFault(const XuPacket& commit) const;
  std::int32_t Flush(const XuPacket& flush);
  std::int32_t FlushFault(const XuPacket& flush) const;
  std::int32_t Publish();

  SlotStore& slots_;
  ConnectionState& connection_;
  const FaultPlan& faults_;
  State state_ = State::kIdle;
  std::uint8_t index_ = 0;
  std::uint32_t size_ = 0;
  std::uint64_t staged_ = 0;  ///< bytes of committed blocks
  std::uint16_t next_block_ = 0;
  std::uint32_t next_sequence_ = 0;
  std::vector<std::uint8_t> block_{};  ///< data of the block not yet committed
  std::uint64_t data_packets_ = 0;     ///< over the device's life, for corrupt-after
  bool corruption_given_ = false;
};

/// One step of the image transfer as the responder of its opcode.
class ImageResponder final : public Responder {
 public:
  using Step = void (ImageTransfer::*)(const XuPacket&, std::vector<XuPacket>&);
  ImageResponder(ImageTransfer& transfer, Step step) : transfer_(transfer), step_(step) {}
  void Answer(const XuPacket& request, std::vector<XuPacket>& replies) override {
    (transfer_.*step_)(request, replies);
  }

 private:
  ImageTransfer& transfer_;
  Step step_;
};

}  // namespace hx::emu
