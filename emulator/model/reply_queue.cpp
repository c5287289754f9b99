#include "model/reply_queue.h"

#include <algorithm>
#include <array>

#include "protocol/status_packet.h"

namespace hx::emu {

bool ReplyQueue::Push(const XuPacket& reply) {
  if (Full()) {
    return false;
  }
  waiting_.push_back(reply);
  return true;
}

bool ReplyQueue::Full() const {
  return waiting_.size() >= kStatusListCapacity;
}

XuPacket ReplyQueue::StatusPacket() const {
  std::array<std::uint8_t, kStatusListCapacity> opcodes{};
  const std::size_t listed = std::min(waiting_.size(), opcodes.size());
  for (std::size_t i = 0; i < listed; ++i) {
    opcodes[i] = waiting_[i].Opcode();
  }
  return XuStatusPacket::Build(std::span(opcodes).first(listed));
}

std::optional<XuPacket> ReplyQueue::Take(std::uint8_t opcode) {
  const auto found = std::find_if(waiting_.begin(), waiting_.end(),
                                  [opcode](const XuPacket& p) { return p.Opcode() == opcode; });
  if (found == waiting_.end()) {
    return std::nullopt;
  }
  XuPacket reply = *found;
  waiting_.erase(found);
  return reply;
}

}  // namespace hx::emu
