#pragma once
// The transport-level faults of a FaultPlan: refused transfers, lost, dropped or doubled
// interrupts, a device message in the status packet, and the link dropping after N transfers.
// Not thread-safe; FirmwareModel holds its lock around every call.

#include <cstdint>
#include <optional>
#include <vector>

#include "model/firmware_options.h"
#include "platform/hresult.h"
#include "protocol/xu_packet.h"

namespace hx::emu {

/// The status packet that carries message instead of a list.
XuPacket BuildDeviceMessage(const DeviceMessageFault& message);

class FaultInjector {
 public:
  explicit FaultInjector(const FaultPlan& plan);

  /// Counts one transfer; the result to refuse it with, if a fault says so.
  std::optional<HRESULT> TransferFailure(TransferFault::Direction direction, std::uint8_t selector);
  /// How many interrupts reach the host when the firmware raises `raised` of them.
  std::uint32_t InterruptsToRaise(std::uint32_t raised);
  /// The device message for the next status read, once.
  std::optional<XuPacket> TakeDeviceMessage();
  /// True once, after the transfer that reaches the disconnect count.
  bool TakeDisconnect();
  /// True once the device has stopped answering transfers.
  bool Silent() const;

 private:
  const FaultPlan& plan_;
  std::vector<std::uint32_t> matching_transfers_;  // per transfer fault
  std::uint32_t interrupts_dropped_ = 0;
  std::uint64_t transfers_ = 0;
  bool message_given_ = false;
  bool disconnected_ = false;
};

}  // namespace hx::emu
