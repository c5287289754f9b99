#include "protocol/uvc_descriptors.h"

#include <algorithm>

namespace hx::usb {
namespace {

// Offsets inside the descriptors the search reads.
constexpr std::size_t kConfigurationValueOffset = 5;
constexpr std::size_t kConfigurationMinLength = 9;
constexpr std::size_t kInterfaceNumberOffset = 2;
constexpr std::size_t kAlternateSettingOffset = 3;
constexpr std::size_t kInterfaceClassOffset = 5;
constexpr std::size_t kInterfaceSubclassOffset = 6;
constexpr std::size_t kInterfaceMinLength = 9;
constexpr std::size_t kSubtypeOffset = 2;
constexpr std::size_t kUnitIdOffset = 3;
constexpr std::size_t kGuidOffset = 4;
constexpr std::size_t kInputPinsOffset = 21;
// An extension unit is bLength = 24 + p + n long: p source ids and n bytes of bmControls.
constexpr std::size_t kExtensionUnitFixedLength = 24;

// Where the walk stands: which configuration and interface the next descriptor belongs to.
struct Position {
  bool in_configuration = false;
  bool in_control_interface = false;
};

// The kernel's own rule for a well-formed extension unit descriptor: one it would not use
// must not be used here either.
bool ExtensionUnitIsWellFormed(std::span<const std::uint8_t> unit) {
  const std::size_t length = unit.size();
  const std::size_t pins = length > kInputPinsOffset ? unit[kInputPinsOffset] : 0;
  const std::size_t control_size_offset = kInputPinsOffset + 1 + pins;
  const std::size_t control_size = length > control_size_offset ? unit[control_size_offset] : 0;
  return length >= kExtensionUnitFixedLength + pins + control_size;
}

std::optional<std::uint8_t> MatchUnit(std::span<const std::uint8_t> descriptor,
                                      std::span<const std::uint8_t, 16> guid) {
  if (descriptor.size() <= kGuidOffset + guid.size() ||
      descriptor[kSubtypeOffset] != kVideoControlExtensionUnit ||
      !ExtensionUnitIsWellFormed(descriptor) ||
      !std::ranges::equal(descriptor.subspan(kGuidOffset, guid.size()), guid)) {
    return std::nullopt;
  }
  return descriptor[kUnitIdOffset];
}

}  // namespace

std::optional<std::uint8_t> FindExtensionUnit(std::span<const std::uint8_t> descriptors,
                                              std::uint8_t configuration,
                                              std::uint8_t interface_number,
                                              std::span<const std::uint8_t, 16> guid) {
  Position at;
  std::size_t offset = 0;
  while (descriptors.size() - offset >= 2) {
    const std::size_t length = descriptors[offset];
    if (length < 2 || length > descriptors.size() - offset) {
      return std::nullopt;
    }
    const auto descriptor = descriptors.subspan(offset, length);
    offset += length;
    switch (descriptor[1]) {
      case kDescriptorConfiguration:
        at.in_configuration = length >= kConfigurationMinLength &&
                              descriptor[kConfigurationValueOffset] == configuration;
        at.in_control_interface = false;
        break;
      case kDescriptorInterface:
        at.in_control_interface = at.in_configuration && length >= kInterfaceMinLength &&
                                  descriptor[kInterfaceNumberOffset] == interface_number &&
                                  descriptor[kAlternateSettingOffset] == 0 &&
                                  descriptor[kInterfaceClassOffset] == kClassVideo &&
                                  descriptor[kInterfaceSubclassOffset] == kSubclassVideoControl;
        break;
      case kDescriptorClassInterface:
        if (at.in_control_interface) {
          if (const auto unit = MatchUnit(descriptor, guid)) {
            return unit;
          }
        }
        break;
      default:
        break;
    }
  }
  return std::nullopt;
}

}  // namespace hx::usb
