#pragma once
// The USB descriptors that identify the HX7300's extension unit: what the device announces
// and what the Linux backend looks for in the raw descriptors the kernel keeps. Portable, so
// that the virtual HX7300 and the fuzz target build everywhere.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace hx::usb {

inline constexpr std::uint16_t kHx7300VendorId = 0xF0C5;
inline constexpr std::uint16_t kHx7300ProductId = 0xE1A7;
/// The VideoControl interface that carries the extension unit.
inline constexpr std::uint8_t kControlInterfaceNumber = 3;

/// {091F5A1E-7DA1-4831-B68B-A27E5CE11A5B} as descriptors carry it: the first three fields
/// little-endian, the last eight bytes as they stand.
inline constexpr std::array<std::uint8_t, 16> kExtensionUnitGuid = {
    0x1E, 0x5A, 0x1F, 0x09, 0xA1, 0x7D, 0x31, 0x48, 0xB6, 0x8B, 0xA2, 0x7E, 0x5C, 0xE1, 0x1A, 0x5B};

// Descriptor types and the video class codes the search needs.
inline constexpr std::uint8_t kDescriptorDevice = 0x01;
inline constexpr std::uint8_t kDescriptorConfiguration = 0x02;
inline constexpr std::uint8_t kDescriptorString = 0x03;
inline constexpr std::uint8_t kDescriptorInterface = 0x04;
inline constexpr std::uint8_t kDescriptorEndpoint = 0x05;
inline constexpr std::uint8_t kDescriptorInterfaceAssociation = 0x0B;
inline constexpr std::uint8_t kDescriptorClassInterface = 0x24;
inline constexpr std::uint8_t kDescriptorClassEndpoint = 0x25;
inline constexpr std::uint8_t kClassVideo = 0x0E;
inline constexpr std::uint8_t kSubclassVideoControl = 0x01;
inline constexpr std::uint8_t kSubclassVideoStreaming = 0x02;
inline constexpr std::uint8_t kVideoControlExtensionUnit = 0x06;

/// Finds the id of the extension unit whose GUID is guid, declared on alternate setting 0 of
/// VideoControl interface `interface_number` of the configuration whose
/// bConfigurationValue is `configuration`. `descriptors` holds the descriptors as the kernel
/// keeps them: the device descriptor followed by each configuration's whole set. Any bytes
/// are safe: a descriptor that is cut short, claims less than its own header or runs past
/// the end ends the search there. nullopt when no such unit is declared.
std::optional<std::uint8_t> FindExtensionUnit(std::span<const std::uint8_t> descriptors,
                                              std::uint8_t configuration,
                                              std::uint8_t interface_number,
                                              std::span<const std::uint8_t, 16> guid);

}  // namespace hx::usb
