#include "model/fault_injector.h"

#include <algorithm>

#include "protocol/status_packet.h"

namespace hx::emu {
namespace {

constexpr std::size_t kMessageKindOffset = 4;
constexpr std::size_t kEfsSelectorOffset = 1;
constexpr std::uint8_t kEfsSelector = 4;
constexpr std::size_t kEfsF = 8;
constexpr std::size_t kEfsS = 10;
constexpr std::size_t kCodedCode = 8;
constexpr std::size_t kCodedText = 12;
constexpr std::size_t kPlainText = 5;

// The device fills a text field to its end when the text is long; no terminator then.
void PutText(XuPacket& packet, std::size_t offset, const std::string& text) {
  const std::size_t room = kXuPacketSize - offset;
  const std::size_t n = std::min(text.size(), room);
  for (std::size_t i = 0; i < n; ++i) {
    packet.SetByte(offset + i, static_cast<std::uint8_t>(text[i]));
  }
}

}  // namespace

XuPacket BuildDeviceMessage(const DeviceMessageFault& message) {
  XuPacket packet;
  switch (message.form) {
    case DeviceMessageFault::Form::kEfs: {
      packet.SetByte(kEfsSelectorOffset, kEfsSelector);
      // Byte 4, the low byte of E, is what marks the packet as a message.
      const std::uint8_t low = static_cast<std::uint8_t>(message.code) == kDeviceMessageCoded
                                   ? kDeviceMessageCoded
                                   : kDeviceMessageText;
      packet.SetU32(kMessageKindOffset, (message.code & 0xFFFFFF00u) | low);
      packet.SetU16(kEfsF, message.f);
      packet.SetU16(kEfsS, message.s);
      break;
    }
    case DeviceMessageFault::Form::kCodedText:
      packet.SetByte(kMessageKindOffset, kDeviceMessageCoded);
      packet.SetU32(kCodedCode, message.code);
      PutText(packet, kCodedText, message.text);
      break;
    case DeviceMessageFault::Form::kPlainText:
      packet.SetByte(kMessageKindOffset, kDeviceMessageText);
      PutText(packet, kPlainText, message.text);
      break;
  }
  return packet;
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

bool FaultInjector::TakeDisconnect() {
  if (!plan_.disconnect_after || disconnected_ || transfers_ < *plan_.disconnect_after) {
    return false;
  }
  disconnected_ = true;
  return true;
}

}  // namespace hx::emu
