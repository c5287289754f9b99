#pragma once
// What the virtual HX7300 announces on USB: a video class camera f0c5:e1a7 whose
// VideoControl interface (3) holds a camera terminal, the vendor extension unit with its 16
// controls and an output terminal, with an interrupt endpoint for status packets; one
// VideoStreaming interface with a single uncompressed format over bulk. Interfaces 0 to 2 are
// vendor interfaces without endpoints.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace hx::emu::usb {

inline constexpr std::uint8_t kCameraTerminalId = 1;
inline constexpr std::uint8_t kExtensionUnitId = 4;
inline constexpr std::uint8_t kOutputTerminalId = 5;
inline constexpr std::uint8_t kStreamingInterfaceNumber = 4;
inline constexpr std::uint8_t kInterfaceCount = 5;
inline constexpr std::uint8_t kConfigurationValue = 1;
inline constexpr std::uint8_t kExtensionUnitControls = 16;
inline constexpr std::uint8_t kStatusEndpoint = 0x81;
inline constexpr std::uint8_t kVideoEndpoint = 0x82;
/// The size of the status packets the interrupt endpoint sends.
inline constexpr std::uint16_t kStatusPacketSize = 6;
/// The probe and commit controls of a version 1.0 streaming interface.
inline constexpr std::size_t kProbeControlSize = 26;

/// Class, subclass and protocol of one interface, in interface order.
struct InterfaceClass {
  std::uint8_t interface_class;
  std::uint8_t subclass;
  std::uint8_t protocol;
};

/// The device descriptor, 18 bytes.
std::vector<std::uint8_t> DeviceDescriptor();
/// The one configuration with every descriptor it holds.
std::vector<std::uint8_t> ConfigurationDescriptor();
/// String descriptor index (0: the language list); nullopt for an index the device lacks.
std::optional<std::vector<std::uint8_t>> StringDescriptor(std::uint8_t index);
/// The interfaces of the configuration.
std::array<InterfaceClass, kInterfaceCount> InterfaceClasses();
/// The streaming parameters the device proposes: its one format and frame.
std::array<std::uint8_t, kProbeControlSize> DefaultProbeControl();

}  // namespace hx::emu::usb
