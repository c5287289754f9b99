#include "usb/camera_descriptors.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "protocol/uvc_descriptors.h"

namespace hx::emu::usb {
namespace {

using namespace hx::usb;

constexpr std::uint16_t kUsbVersion = 0x0200;
constexpr std::uint16_t kVideoClassVersion = 0x0100;
constexpr std::uint16_t kDeviceRelease = 0x0100;
constexpr std::uint8_t kProductString = 1;
constexpr std::string_view kProductName = "HX7300";
constexpr std::uint16_t kLanguageEnglishUs = 0x0409;
constexpr std::uint8_t kClassVendor = 0xFF;
constexpr std::uint8_t kClassMiscellaneous = 0xEF;
constexpr std::uint8_t kSubclassCommon = 0x02;
constexpr std::uint8_t kProtocolInterfaceAssociation = 0x01;
constexpr std::uint8_t kSubclassInterfaceCollection = 0x03;
// Video class descriptor subtypes and terminal types.
constexpr std::uint8_t kVcHeader = 0x01;
constexpr std::uint8_t kVcInputTerminal = 0x02;
constexpr std::uint8_t kVcOutputTerminal = 0x03;
constexpr std::uint8_t kVsInputHeader = 0x01;
constexpr std::uint8_t kVsFormatUncompressed = 0x04;
constexpr std::uint8_t kVsFrameUncompressed = 0x05;
constexpr std::uint8_t kEpInterrupt = 0x03;
constexpr std::uint16_t kCameraTerminalType = 0x0201;
constexpr std::uint16_t kStreamingTerminalType = 0x0101;
// One small YUY2 frame size: nothing ever streams, but the driver needs a format to accept.
constexpr std::uint16_t kWidth = 160;
constexpr std::uint16_t kHeight = 120;
constexpr std::uint32_t kFrameBytes = kWidth * kHeight * 2;
constexpr std::uint32_t kFrameInterval = 333333;  // 100 ns units: 30 frames a second
constexpr std::uint32_t kBitRate = kFrameBytes * 8 * 30;
constexpr std::uint16_t kBulkPacketSize = 512;
constexpr std::array<std::uint8_t, 16> kFormatYuy2 = {
    0x59, 0x55, 0x59, 0x32, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Builds descriptors byte by byte, little-endian as USB has them.
class Bytes {
 public:
  Bytes() { bytes_.reserve(256); }
  Bytes& U8(std::uint8_t value) {
    bytes_.push_back(value);
    return *this;
  }
  Bytes& U8s(std::initializer_list<std::uint8_t> values) {
    bytes_.insert(bytes_.end(), values);
    return *this;
  }
  Bytes& U16(std::uint16_t value) {
    return U8(static_cast<std::uint8_t>(value & 0xFF)).U8(static_cast<std::uint8_t>(value >> 8));
  }
  Bytes& U32(std::uint32_t value) {
    return U16(static_cast<std::uint16_t>(value & 0xFFFF))
        .U16(static_cast<std::uint16_t>(value >> 16));
  }
  template <std::size_t N>
  Bytes& Array(const std::array<std::uint8_t, N>& values) {
    bytes_.insert(bytes_.end(), values.begin(), values.end());
    return *this;
  }
  Bytes& Append(const std::vector<std::uint8_t>& more) {
    bytes_.insert(bytes_.end(), more.begin(), more.end());
    return *this;
  }
  // The descriptor's own length goes into its first byte once it is complete.
  std::vector<std::uint8_t> Done() {
    bytes_.front() = static_cast<std::uint8_t>(bytes_.size());
    return std::move(bytes_);
  }
  std::vector<std::uint8_t>& Raw() { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

std::vector<std::uint8_t> Interface(std::uint8_t number, std::uint8_t endpoints,
                                    InterfaceClass kind) {
  return Bytes()
      .U8s({0, kDescriptorInterface, number, 0, endpoints, kind.interface_class, kind.subclass,
            kind.protocol, 0})
      .Done();
}

std::vector<std::uint8_t> Endpoint(std::uint8_t address, std::uint8_t attributes,
                                   std::uint16_t packet_size, std::uint8_t interval) {
  return Bytes()
      .U8s({0, kDescriptorEndpoint, address, attributes})
      .U16(packet_size)
      .U8(interval)
      .Done();
}

std::vector<std::uint8_t> VideoControlUnits() {
  Bytes units;
  units.Append(Bytes()  // camera terminal without controls of its own
                   .U8s({0, kDescriptorClassInterface, kVcInputTerminal, kCameraTerminalId})
                   .U16(kCameraTerminalType)
                   .U8s({0, 0})
                   .U16(0)
                   .U16(0)
                   .U16(0)
                   .U8s({3, 0, 0, 0})
                   .Done());
  units.Append(
      Bytes()  // the extension unit: every one of its controls present
          .U8s({0, kDescriptorClassInterface, kVideoControlExtensionUnit, kExtensionUnitId})
          .Array(kExtensionUnitGuid)
          .U8s({kExtensionUnitControls, 1, kCameraTerminalId, 2, 0xFF, 0xFF, 0})
          .Done());
  units.Append(Bytes()
                   .U8s({0, kDescriptorClassInterface, kVcOutputTerminal, kOutputTerminalId})
                   .U16(kStreamingTerminalType)
                   .U8s({0, kExtensionUnitId, 0})
                   .Done());
  std::vector<std::uint8_t> header = Bytes()
                                         .U8s({0, kDescriptorClassInterface, kVcHeader})
                                         .U16(kVideoClassVersion)
                                         .U16(0)
                                         .U32(48000000)
                                         .U8s({1, kStreamingInterfaceNumber})
                                         .Done();
  const auto total = static_cast<std::uint16_t>(header.size() + units.Raw().size());
  header[5] = static_cast<std::uint8_t>(total & 0xFF);
  header[6] = static_cast<std::uint8_t>(total >> 8);
  return Bytes().Append(header).Append(units.Raw()).Raw();
}

std::vector<std::uint8_t> VideoStreamingFormats() {
  Bytes formats;
  formats.Append(Bytes()
                     .U8s({0, kDescriptorClassInterface, kVsFormatUncompressed, 1, 1})
                     .Array(kFormatYuy2)
                     .U8s({16, 1, 0, 0, 0, 0})
                     .Done());
  formats.Append(Bytes()
                     .U8s({0, kDescriptorClassInterface, kVsFrameUncompressed, 1, 0})
                     .U16(kWidth)
                     .U16(kHeight)
                     .U32(kBitRate)
                     .U32(kBitRate)
                     .U32(kFrameBytes)
                     .U32(kFrameInterval)
                     .U8(1)
                     .U32(kFrameInterval)
                     .Done());
  std::vector<std::uint8_t> header = Bytes()
                                         .U8s({0, kDescriptorClassInterface, kVsInputHeader, 1})
                                         .U16(0)
                                         .U8s({kVideoEndpoint, 0, kOutputTerminalId, 0, 0, 0, 1, 0})
                                         .Done();
  const auto total = static_cast<std::uint16_t>(header.size() + formats.Raw().size());
  header[4] = static_cast<std::uint8_t>(total & 0xFF);
  header[5] = static_cast<std::uint8_t>(total >> 8);
  return Bytes().Append(header).Append(formats.Raw()).Raw();
}

}  // namespace

std::vector<std::uint8_t> DeviceDescriptor() {
  return Bytes()
      .U8s({0, kDescriptorDevice})
      .U16(kUsbVersion)
      .U8s({kClassMiscellaneous, kSubclassCommon, kProtocolInterfaceAssociation, 64})
      .U16(kHx7300VendorId)
      .U16(kHx7300ProductId)
      .U16(kDeviceRelease)
      .U8s({0, kProductString, 0, 1})
      .Done();
}

std::array<InterfaceClass, kInterfaceCount> InterfaceClasses() {
  return {{{kClassVendor, 0, 0},
           {kClassVendor, 0, 0},
           {kClassVendor, 0, 0},
           {kClassVideo, kSubclassVideoControl, 0},
           {kClassVideo, kSubclassVideoStreaming, 0}}};
}

std::vector<std::uint8_t> ConfigurationDescriptor() {
  const auto classes = InterfaceClasses();
  Bytes all;
  all.U8s({9, kDescriptorConfiguration, 0, 0, kInterfaceCount, kConfigurationValue, 0, 0x80, 250});
  for (std::uint8_t number = 0; number < kControlInterfaceNumber; ++number) {
    all.Append(Interface(number, 0, classes[number]));
  }
  all.Append(Bytes()
                 .U8s({0, kDescriptorInterfaceAssociation, kControlInterfaceNumber, 2, kClassVideo,
                       kSubclassInterfaceCollection, 0, 0})
                 .Done());
  all.Append(Interface(kControlInterfaceNumber, 1, classes[kControlInterfaceNumber]));
  all.Append(VideoControlUnits());
  all.Append(Endpoint(kStatusEndpoint, kEpInterrupt, 16, 8));
  all.Append(Bytes().U8s({0, kDescriptorClassEndpoint, kEpInterrupt}).U16(16).Done());
  all.Append(Interface(kStreamingInterfaceNumber, 1, classes[kStreamingInterfaceNumber]));
  all.Append(VideoStreamingFormats());
  all.Append(Endpoint(kVideoEndpoint, 0x02, kBulkPacketSize, 0));
  std::vector<std::uint8_t>& bytes = all.Raw();
  bytes[2] = static_cast<std::uint8_t>(bytes.size() & 0xFF);
  bytes[3] = static_cast<std::uint8_t>(bytes.size() >> 8);
  return bytes;
}

std::optional<std::vector<std::uint8_t>> StringDescriptor(std::uint8_t index) {
  if (index == 0) {
    return Bytes().U8s({0, kDescriptorString}).U16(kLanguageEnglishUs).Done();
  }
  if (index != kProductString) {
    return std::nullopt;
  }
  Bytes text;
  text.U8s({0, kDescriptorString});
  for (const char c : kProductName) {
    text.U16(static_cast<std::uint16_t>(c));
  }
  return text.Done();
}

std::array<std::uint8_t, kProbeControlSize> DefaultProbeControl() {
  Bytes probe;
  probe
      .U16(1)  // bmHint: the frame interval is fixed
      .U8s({1, 1})
      .U32(kFrameInterval)
      .U16(0)
      .U16(0)
      .U16(0)
      .U16(0)
      .U16(0)
      .U32(kFrameBytes)
      .U32(kBulkPacketSize);
  std::array<std::uint8_t, kProbeControlSize> bytes{};
  std::ranges::copy(probe.Raw(), bytes.begin());
  return bytes;
}

}  // namespace hx::emu::usb
