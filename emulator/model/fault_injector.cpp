#include "model/fault_injector.h"

#include <algorithm>

#include "protocol/device_message.h"
#include "protocol/status_packet.h"

namespace hx::emu {
XuPacket BuildDeviceMessage(const DeviceMessageFault& message) {
  const auto text = std::as_bytes(std::span(message.text.data(), message.text.size()));
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()),
                                            text.size());
  switch (message.form) {
    case DeviceMessageFault::Form::kEfs: {
      // Byte 4, the low byte of E, is what marks the packet as a message.
      const std::uint8_t low = static_cast<std::uint8_t>(message.code) == kDeviceMessageCoded
                                   ? kDeviceMessageCoded
                                   : kDeviceMessageText;
      return XuDeviceMessage::Encode(
          XuDeviceMessage::Efs{(message.code & 0xFFFFFF00u) | low, message.f, message.s});
    }
    case DeviceMessageFault::Form::kCodedText:
      return XuDeviceMessage::Encode(XuDeviceMessage::CodedText{message.code, bytes});
    case DeviceMessageFault::Form::kPlainText:
      return XuDeviceMessage::Encode(XuDeviceMessage::PlainText{bytes});
  }
  return XuPacket{};
}

FaultInjector::FaultInjector(const FaultPlan& plan)
    : plan_(plan), matching_transfers_(plan.transfer_faults.size(), 0) {}

std::optional<HRESULT> FaultInjector::TransferFailure(TransferFault::Direction direction,
                                                      std::uint8_t selector) {
  ++transfers_;
  std::optional<HRESULT> failure;
  for (std::size_t i = 0; i < plan_.transfer_faults.size(); ++i) {
    const TransferFault& fault = plan_.transfer_faults[i];
    if (fault.direction != direction || fault.selector != selector) {
      continue;
    }
    const std::uint32_t count = ++matching_transfers_[i];
    if (!failure && (fault.nth == 0 || fault.nth == count)) {
      failure = fault.result;
    }
  }
  return failure;
}

std::uint32_t FaultInjector::InterruptsToRaise(std::uint32_t raised) {
  if (plan_.no_interrupts) {
    return 0;
  }
  const std::uint32_t dropped = std::min(raised, plan_.drop_interrupts - interrupts_dropped_);
  interrupts_dropped_ += dropped;
  const std::uint32_t kept = raised - dropped;
  return plan_.duplicate_interrupts ? 2 * kept : kept;
}

std::optional<XuPacket> FaultInjector::TakeDeviceMessage() {
  if (!plan_.device_message || message_given_) {
    return std::nullopt;
  }
  message_given_ = true;
  return BuildDeviceMessage(*plan_.device_message);
}

bool FaultInjector::Silent() const {
  return plan_.silent_after && transfers_ >= *plan_.silent_after;
}

bool FaultInjector::TakeDisconnect() {
  if (!plan_.disconnect_after || disconnected_ || transfers_ < *plan_.disconnect_after) {
    return false;
  }
  disconnected_ = true;
  return true;
}

}  // namespace hx::emu
