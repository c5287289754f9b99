#pragma once
// A channel that plays a script: each transfer must be the next one the script expects, and
// gets the scripted result and reply. Every transfer is logged so that tests can assert the
// exact packets the device received. Status interrupts are raised where the script says.

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "device/channel.h"

namespace hx::test {

struct Transfer {
  enum class Kind { kSet, kGet } kind;
  std::uint8_t selector;
  XuPacket packet;  ///< what a Set wrote, or what a Get returned
};

class ScriptedChannel final : public XuChannel {
 public:
  /// Expects a Set on selector; answers result and then raises `interrupts` status interrupts.
  ScriptedChannel& ExpectSet(std::uint8_t selector, HRESULT result = S_OK, int interrupts = 1);
  /// Expects a Get on selector; answers reply and result, then raises `interrupts` interrupts.
  ScriptedChannel& ExpectGet(std::uint8_t selector, const XuPacket& reply, HRESULT result = S_OK,
                             int interrupts = 0);
  /// Convenience: a status packet listing opcodes.
  ScriptedChannel& ExpectStatus(std::vector<std::uint8_t> opcodes, int interrupts = 0);
  /// Convenience: the passcode request, then the device's verdict on it with this Status.
  ScriptedChannel& ExpectPasscodeVerdict(std::int32_t status = 0);
  /// Raises a status interrupt now (for an interrupt left over before the first wait).
  void RaiseInterrupt();
  /// From now on, Sets that the script does not name succeed without a step (packet tests).
  void AcceptUnscriptedSets() { accept_unscripted_sets_ = true; }

  HRESULT Open(CAutoResetEvent& status_event) override;
  HRESULT Set(std::uint8_t selector, XuConstBytes packet) override;
  HRESULT Get(std::uint8_t selector, XuBytes packet) override;
  void Close() override {}

  std::vector<Transfer> Log() const;
  std::vector<XuPacket> SetPackets(std::uint8_t selector) const;
  bool ScriptDone() const;

 private:
  struct Step {
    Transfer::Kind kind;
    std::uint8_t selector;
    XuPacket reply;
    HRESULT result;
    int interrupts;
  };
  const Step* NextStep(Transfer::Kind kind, std::uint8_t selector);
  void Raise(int interrupts);

  mutable std::mutex mutex_;
  std::deque<Step> script_;
  std::vector<Transfer> log_;
  CAutoResetEvent* event_ = nullptr;
  Step current_{};
  bool accept_unscripted_sets_ = false;
};

}  // namespace hx::test
