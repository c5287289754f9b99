#include "usb/virtual_camera.h"

#include <algorithm>

#include "protocol/uvc_descriptors.h"
#include "protocol/xu_packet.h"

namespace hx::emu::usb {
namespace {

using hx::usb::kControlInterfaceNumber;

// Request types: direction, kind and recipient bits.
constexpr std::uint8_t kTypeMask = 0x60;
constexpr std::uint8_t kTypeStandard = 0x00;
constexpr std::uint8_t kTypeClass = 0x20;
constexpr std::uint8_t kRecipientMask = 0x1F;
constexpr std::uint8_t kRecipientInterface = 0x01;

// Standard requests.
constexpr std::uint8_t kGetStatus = 0x00;
constexpr std::uint8_t kClearFeature = 0x01;
constexpr std::uint8_t kSetFeature = 0x03;
constexpr std::uint8_t kSetAddress = 0x05;
constexpr std::uint8_t kGetDescriptor = 0x06;
constexpr std::uint8_t kGetConfiguration = 0x08;
constexpr std::uint8_t kSetConfiguration = 0x09;
constexpr std::uint8_t kGetInterface = 0x0A;
constexpr std::uint8_t kSetInterface = 0x0B;

// Video class requests.
constexpr std::uint8_t kSetCur = 0x01;
constexpr std::uint8_t kGetCur = 0x81;
constexpr std::uint8_t kGetMin = 0x82;
constexpr std::uint8_t kGetMax = 0x83;
constexpr std::uint8_t kGetRes = 0x84;
constexpr std::uint8_t kGetLen = 0x85;
constexpr std::uint8_t kGetInfo = 0x86;
constexpr std::uint8_t kGetDef = 0x87;
constexpr std::uint8_t kInfoGetSet = 0x03;
constexpr std::uint8_t kRequestErrorCodeControl = 0x02;
constexpr std::uint8_t kProbeControl = 0x01;
constexpr std::uint8_t kCommitControl = 0x02;

// The request error codes a stalled request leaves for the host to read.
constexpr std::uint8_t kErrorNotReady = 1;
constexpr std::uint8_t kErrorWrongState = 2;
constexpr std::uint8_t kErrorOutOfRange = 4;
constexpr std::uint8_t kErrorInvalidUnit = 5;
constexpr std::uint8_t kErrorInvalidControl = 6;
constexpr std::uint8_t kErrorInvalidRequest = 7;

// A refusal of the firmware model as the nearest request error code, which the host's driver
// turns back into a result of its own.
std::uint8_t RequestErrorFor(HRESULT refusal) {
  switch (static_cast<std::uint32_t>(refusal)) {
    case 0x80070015u:
    case 0x800700AAu:
      return kErrorNotReady;
    case 0x80070005u:
      return kErrorWrongState;
    case 0x80070057u:
      return kErrorOutOfRange;
    default:
      return kErrorInvalidControl;
  }
}

std::vector<std::uint8_t> Little16(std::uint16_t value) {
  return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)};
}

}  // namespace

SetupPacket SetupPacket::FromBytes(std::span<const std::uint8_t, 8> bytes) {
  const auto u16 = [&](std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
  };
  return {bytes[0], bytes[1], u16(2), u16(4), u16(6)};
}

std::array<std::uint8_t, 8> SetupPacket::Bytes() const {
  const auto lo = [](std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); };
  const auto hi = [](std::uint16_t v) { return static_cast<std::uint8_t>(v >> 8); };
  return {request_type, request,   lo(value),  hi(value),
          lo(index),    hi(index), lo(length), hi(length)};
}

VirtualCamera::VirtualCamera(FirmwareModel& model)
    : model_(model), probe_(DefaultProbeControl()), commit_(DefaultProbeControl()) {}

std::array<std::uint8_t, kStatusPacketSize> VirtualCamera::StatusInterrupt() {
  // VideoControl originator, the unit; event 0 (control change), selector 1, attribute 0
  // (value). The driver drops status packets shorter than these six bytes.
  return {0x01, kExtensionUnitId, 0x00, 0x01, 0x00, 0x00};
}

ControlOutcome VirtualCamera::Stall(std::uint8_t request_error) {
  request_error_ = request_error;
  return {ControlOutcome::Kind::kStall};
}

ControlOutcome VirtualCamera::Done(const SetupPacket& setup, std::vector<std::uint8_t> data) {
  request_error_ = 0;
  if (data.size() > setup.length) {
    data.resize(setup.length);
  }
  return {ControlOutcome::Kind::kDone, std::move(data)};
}

ControlOutcome VirtualCamera::Control(const SetupPacket& setup,
                                      std::span<const std::uint8_t> out_data) {
  const std::uint8_t type = setup.request_type & kTypeMask;
  if (type == kTypeStandard) {
    return Standard(setup);
  }
  if (type != kTypeClass || (setup.request_type & kRecipientMask) != kRecipientInterface) {
    return Stall(kErrorInvalidRequest);
  }
  const auto interface_number = static_cast<std::uint8_t>(setup.index & 0xFF);
  if (interface_number == kControlInterfaceNumber) {
    return ControlInterfaceRequest(setup, out_data);
  }
  if (interface_number == kStreamingInterfaceNumber) {
    return StreamingRequest(setup, out_data);
  }
  return Stall(kErrorInvalidRequest);
}

ControlOutcome VirtualCamera::Standard(const SetupPacket& setup) {
  const auto descriptor_type = static_cast<std::uint8_t>(setup.value >> 8);
  const auto descriptor_index = static_cast<std::uint8_t>(setup.value & 0xFF);
  switch (setup.request) {
    case kGetStatus:
      return Done(setup, {0, 0});
    case kClearFeature:
    case kSetFeature:
    case kSetAddress:
      return Done(setup);
    case kGetConfiguration:
      return Done(setup, {kConfigurationValue});
    case kSetConfiguration:
      return setup.value <= kConfigurationValue ? Done(setup) : Stall(kErrorInvalidRequest);
    case kGetInterface:
      return Done(setup, {0});
    case kSetInterface:
      return setup.value == 0 ? Done(setup) : Stall(kErrorInvalidRequest);
    case kGetDescriptor:
      if (descriptor_type == hx::usb::kDescriptorDevice) {
        return Done(setup, DeviceDescriptor());
      }
      if (descriptor_type == hx::usb::kDescriptorConfiguration && descriptor_index == 0) {
        return Done(setup, ConfigurationDescriptor());
      }
      if (descriptor_type == hx::usb::kDescriptorString) {
        if (auto text = StringDescriptor(descriptor_index)) {
          return Done(setup, std::move(*text));
        }
      }
      return Stall(kErrorInvalidRequest);
    default:
      return Stall(kErrorInvalidRequest);
  }
}

ControlOutcome VirtualCamera::ControlInterfaceRequest(const SetupPacket& setup,
                                                      std::span<const std::uint8_t> out_data) {
  const auto entity = static_cast<std::uint8_t>(setup.index >> 8);
  const auto selector = static_cast<std::uint8_t>(setup.value >> 8);
  if (entity == kExtensionUnitId) {
    return ExtensionUnitRequest(setup, out_data);
  }
  if (entity == 0 && selector == kRequestErrorCodeControl && setup.request == kGetCur) {
    // Reading the code is itself a request that succeeds: the code read is the one before.
    const std::uint8_t code = request_error_;
    return Done(setup, {code});
  }
  return Stall(entity == 0 ? kErrorInvalidControl : kErrorInvalidUnit);
}

ControlOutcome VirtualCamera::ExtensionUnitRequest(const SetupPacket& setup,
                                                   std::span<const std::uint8_t> out_data) {
  const auto selector = static_cast<std::uint8_t>(setup.value >> 8);
  if (selector == 0 || selector > kExtensionUnitControls) {
    return Stall(kErrorInvalidControl);
  }
  const bool transfers_packet = setup.request == kSetCur || setup.request == kGetCur;
  if (transfers_packet && setup.length != kXuPacketSize) {
    return Stall(kErrorOutOfRange);
  }
  if (transfers_packet && model_.Silent()) {
    return {ControlOutcome::Kind::kUnanswered};
  }
  switch (setup.request) {
    case kSetCur: {
      if (out_data.size() != kXuPacketSize) {
        return Stall(kErrorOutOfRange);
      }
      const HRESULT hr = model_.HandleSet(selector, out_data.first<kXuPacketSize>());
      return FAILED(hr) ? Stall(RequestErrorFor(hr)) : Done(setup);
    }
    case kGetCur: {
      std::vector<std::uint8_t> packet(kXuPacketSize);
      const HRESULT hr = model_.HandleGet(selector, std::span(packet).first<kXuPacketSize>());
      return FAILED(hr) ? Stall(RequestErrorFor(hr)) : Done(setup, std::move(packet));
    }
    case kGetMin:
    case kGetDef:
      return Done(setup, std::vector<std::uint8_t>(kXuPacketSize, 0x00));
    case kGetMax:
      return Done(setup, std::vector<std::uint8_t>(kXuPacketSize, 0xFF));
    case kGetRes: {
      std::vector<std::uint8_t> resolution(kXuPacketSize, 0x00);
      resolution[0] = 1;
      return Done(setup, std::move(resolution));
    }
    case kGetLen:
      return Done(setup, Little16(kXuPacketSize));
    case kGetInfo:
      return Done(setup, {kInfoGetSet});
    default:
      return Stall(kErrorInvalidRequest);
  }
}

ControlOutcome VirtualCamera::StreamingRequest(const SetupPacket& setup,
                                               std::span<const std::uint8_t> out_data) {
  const auto selector = static_cast<std::uint8_t>(setup.value >> 8);
  if (selector != kProbeControl && selector != kCommitControl) {
    return Stall(kErrorInvalidControl);
  }
  auto& control = selector == kProbeControl ? probe_ : commit_;
  switch (setup.request) {
    case kSetCur:
      if (out_data.size() != control.size()) {
        return Stall(kErrorOutOfRange);
      }
      std::ranges::copy(out_data, control.begin());
      return Done(setup);
    case kGetCur:
      return Done(setup, {control.begin(), control.end()});
    case kGetMin:
    case kGetMax:
    case kGetDef: {
      const auto proposal = DefaultProbeControl();
      return Done(setup, {proposal.begin(), proposal.end()});
    }
    case kGetLen:
      return Done(setup, Little16(kProbeControlSize));
    case kGetInfo:
      return Done(setup, {kInfoGetSet});
    default:
      return Stall(kErrorInvalidRequest);
  }
}

}  // namespace hx::emu::usb
