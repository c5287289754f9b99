#include "support/scripted_channel.h"

#include <gtest/gtest.h>

#include "protocol/opcodes.h"
#include "protocol/status_packet.h"

namespace hx::test {

ScriptedChannel& ScriptedChannel::ExpectSet(std::uint8_t selector, HRESULT result, int interrupts) {
  std::lock_guard lock(mutex_);
  script_.push_back({Transfer::Kind::kSet, selector, XuPacket{}, result, interrupts});
  return *this;
}

ScriptedChannel& ScriptedChannel::ExpectGet(std::uint8_t selector, const XuPacket& reply,
                                            HRESULT result, int interrupts) {
  std::lock_guard lock(mutex_);
  script_.push_back({Transfer::Kind::kGet, selector, reply, result, interrupts});
  return *this;
}

ScriptedChannel& ScriptedChannel::ExpectStatus(std::vector<std::uint8_t> opcodes, int interrupts) {
  return ExpectGet(1, XuStatusPacket::Build(opcodes), S_OK, interrupts);
}

ScriptedChannel& ScriptedChannel::ExpectPasscodeVerdict(std::int32_t status) {
  XuPacket verdict;
  verdict.SetOpcode(XU_OPCODE_SYSTEM_CONFIG);
  verdict.SetArg1(2);  // as the device answers a validation
  verdict.SetStatus(status);
  const std::uint8_t selector = SelectorFor(XU_OPCODE_SYSTEM_CONFIG);
  return ExpectSet(selector).ExpectStatus({XU_OPCODE_SYSTEM_CONFIG}).ExpectGet(selector, verdict);
}

void ScriptedChannel::RaiseInterrupt() {
  Raise(1);
}

HRESULT ScriptedChannel::Open(CAutoResetEvent& status_event) {
  event_ = &status_event;
  return S_OK;
}

const ScriptedChannel::Step* ScriptedChannel::NextStep(Transfer::Kind kind, std::uint8_t selector) {
  if (script_.empty()) {
    ADD_FAILURE() << "unexpected transfer on selector " << int{selector} << " after the script";
    return nullptr;
  }
  current_ = script_.front();
  script_.pop_front();
  if (current_.kind != kind || current_.selector != selector) {
    ADD_FAILURE() << "transfer on selector " << int{selector} << " where the script expects "
                  << (current_.kind == Transfer::Kind::kSet ? "a set" : "a get") << " on selector "
                  << int{current_.selector};
    return nullptr;
  }
  return &current_;
}

HRESULT ScriptedChannel::Set(std::uint8_t selector, XuConstBytes packet) {
  int interrupts = 0;
  HRESULT result = E_FAIL;
  {
    std::lock_guard lock(mutex_);
    log_.push_back({Transfer::Kind::kSet, selector, XuPacket::FromBytes(packet)});
    if (accept_unscripted_sets_ &&
        (script_.empty() || script_.front().kind != Transfer::Kind::kSet)) {
      return S_OK;
    }
    if (const Step* step = NextStep(Transfer::Kind::kSet, selector)) {
      interrupts = step->interrupts;
      result = step->result;
    }
  }
  Raise(interrupts);
  return result;
}

HRESULT ScriptedChannel::Get(std::uint8_t selector, XuBytes packet) {
  int interrupts = 0;
  HRESULT result = E_FAIL;
  {
    std::lock_guard lock(mutex_);
    if (const Step* step = NextStep(Transfer::Kind::kGet, selector)) {
      std::copy(step->reply.Bytes().begin(), step->reply.Bytes().end(), packet.begin());
      interrupts = step->interrupts;
      result = step->result;
    }
    log_.push_back({Transfer::Kind::kGet, selector, XuPacket::FromBytes(packet)});
  }
  Raise(interrupts);
  return result;
}

void ScriptedChannel::Raise(int interrupts) {
  for (int i = 0; i < interrupts; ++i) {
    event_->Set();
  }
}

std::vector<Transfer> ScriptedChannel::Log() const {
  std::lock_guard lock(mutex_);
  return log_;
}

std::vector<XuPacket> ScriptedChannel::SetPackets(std::uint8_t selector) const {
  std::lock_guard lock(mutex_);
  std::vector<XuPacket> packets;
  for (const Transfer& transfer : log_) {
    if (transfer.kind == Transfer::Kind::kSet && transfer.selector == selector) {
      packets.push_back(transfer.packet);
    }
  }
  return packets;
}

bool ScriptedChannel::ScriptDone() const {
  std::lock_guard lock(mutex_);
  return script_.empty();
}

}  // namespace hx::test
