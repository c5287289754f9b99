#pragma once
// The device's queue of waiting replies: each reply waits under its opcode; the status packet
// lists the opcodes of waiting replies in arrival order, and a read of opcode n's control
// takes the oldest waiting reply of opcode n. The queue holds as many replies as one status
// packet can list; a host that lets more pile up is refused further requests (Full).

#include <cstdint>
#include <deque>
#include <optional>

#include "protocol/xu_packet.h"

namespace hx::emu {

class ReplyQueue {
 public:
  /// Queues a reply; false, and the reply dropped, when the queue is full.
  bool Push(const XuPacket& reply);
  /// True when no further reply fits.
  bool Full() const;
  /// The status packet listing the waiting replies oldest first (at most 48).
  XuPacket StatusPacket() const;
  /// Takes the oldest waiting reply of opcode; nullopt when none waits.
  std::optional<XuPacket> Take(std::uint8_t opcode);
  bool Empty() const { return waiting_.empty(); }
  std::size_t Size() const { return waiting_.size(); }
  void Clear() { waiting_.clear(); }

 private:
  std::deque<XuPacket> waiting_;
};

}  // namespace hx::emu
