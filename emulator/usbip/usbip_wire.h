#pragma once
// The USB/IP protocol's messages, so that a Linux host's vhci-hcd can import the virtual
// HX7300: the operations that list and import a device (8-byte header and 312-byte device
// record), then one 48-byte header per URB submitted, completed, unlinked. All integers are
// big-endian on the wire.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace hx::usbip {

inline constexpr std::uint16_t kProtocolVersion = 0x0111;
inline constexpr std::uint16_t kRequestDeviceList = 0x8005;
inline constexpr std::uint16_t kReplyDeviceList = 0x0005;
inline constexpr std::uint16_t kRequestImport = 0x8003;
inline constexpr std::uint16_t kReplyImport = 0x0003;
/// Operation status: done, or the device is taken by another host, or unknown.
inline constexpr std::uint32_t kStatusOk = 0;
inline constexpr std::uint32_t kStatusDeviceBusy = 2;
inline constexpr std::uint32_t kStatusNoDevice = 4;

inline constexpr std::size_t kOperationHeaderSize = 8;
inline constexpr std::size_t kBusIdSize = 32;
inline constexpr std::size_t kDevicePathSize = 256;
inline constexpr std::size_t kDeviceRecordSize = 312;
inline constexpr std::size_t kInterfaceRecordSize = 4;
inline constexpr std::size_t kUrbHeaderSize = 48;

/// USB speeds as the kernel numbers them.
inline constexpr std::uint32_t kSpeedHigh = 3;

enum class UrbCommand : std::uint32_t {
  kSubmit = 1,
  kUnlink = 2,
  kSubmitReply = 3,
  kUnlinkReply = 4,
};
/// URB results as the Linux kernel gives them: a stall, and a URB cancelled by its unlink.
inline constexpr std::int32_t kUrbStalled = -32;
inline constexpr std::int32_t kUrbUnlinked = -104;
inline constexpr std::uint32_t kDirectionOut = 0;
inline constexpr std::uint32_t kDirectionIn = 1;

using OperationHeaderBytes = std::array<std::uint8_t, kOperationHeaderSize>;
using DeviceRecordBytes = std::array<std::uint8_t, kDeviceRecordSize>;
using UrbHeaderBytes = std::array<std::uint8_t, kUrbHeaderSize>;

struct OperationHeader {
  std::uint16_t version = kProtocolVersion;
  std::uint16_t code = 0;
  std::uint32_t status = kStatusOk;
};

/// An exported device as lists and imports describe it.
struct DeviceRecord {
  std::string path;    ///< cut to 255 bytes on the wire
  std::string bus_id;  ///< cut to 31 bytes on the wire
  std::uint32_t bus_number = 0;
  std::uint32_t device_number = 0;
  std::uint32_t speed = kSpeedHigh;
  std::uint16_t vendor_id = 0;
  std::uint16_t product_id = 0;
  std::uint16_t device_release = 0;
  std::uint8_t device_class = 0;
  std::uint8_t device_subclass = 0;
  std::uint8_t device_protocol = 0;
  std::uint8_t configuration_value = 0;
  std::uint8_t configuration_count = 0;
  std::uint8_t interface_count = 0;
};

/// The first 20 bytes of every URB header.
struct UrbBasic {
  UrbCommand command = UrbCommand::kSubmit;
  std::uint32_t sequence = 0;
  std::uint32_t device_id = 0;
  std::uint32_t direction = kDirectionOut;
  std::uint32_t endpoint = 0;
};

struct SubmitCommand {
  UrbBasic basic;
  std::uint32_t transfer_flags = 0;
  std::uint32_t buffer_length = 0;  ///< OUT: this many data bytes follow the header
  std::uint32_t start_frame = 0;
  std::uint32_t packet_count = 0;
  std::uint32_t interval = 0;
  std::array<std::uint8_t, 8> setup{};  ///< control transfers: the setup packet as USB has it
};

struct SubmitReply {
  UrbBasic basic{UrbCommand::kSubmitReply};
  std::int32_t status = 0;          ///< 0, or a negative errno (-32: stalled)
  std::uint32_t actual_length = 0;  ///< IN: this many data bytes follow the header
  std::uint32_t start_frame = 0;
  std::uint32_t packet_count = 0;
  std::uint32_t error_count = 0;
};

struct UnlinkCommand {
  UrbBasic basic{UrbCommand::kUnlink};
  std::uint32_t unlinked_sequence = 0;
};

struct UnlinkReply {
  UrbBasic basic{UrbCommand::kUnlinkReply};
  std::int32_t status = 0;  ///< -104 when the URB was still pending and is now cancelled
};

OperationHeaderBytes EncodeOperationHeader(const OperationHeader& header);
OperationHeader DecodeOperationHeader(std::span<const std::uint8_t, kOperationHeaderSize> bytes);

DeviceRecordBytes EncodeDeviceRecord(const DeviceRecord& record);
DeviceRecord DecodeDeviceRecord(std::span<const std::uint8_t, kDeviceRecordSize> bytes);
std::array<std::uint8_t, kInterfaceRecordSize> EncodeInterfaceRecord(std::uint8_t interface_class,
                                                                     std::uint8_t subclass,
                                                                     std::uint8_t protocol);

/// The command of any URB header (its first four bytes).
std::uint32_t UrbCommandOf(std::span<const std::uint8_t, kUrbHeaderSize> bytes);

UrbHeaderBytes EncodeSubmitCommand(const SubmitCommand& command);
SubmitCommand DecodeSubmitCommand(std::span<const std::uint8_t, kUrbHeaderSize> bytes);
UrbHeaderBytes EncodeSubmitReply(const SubmitReply& reply);
SubmitReply DecodeSubmitReply(std::span<const std::uint8_t, kUrbHeaderSize> bytes);
UrbHeaderBytes EncodeUnlinkCommand(const UnlinkCommand& command);
UnlinkCommand DecodeUnlinkCommand(std::span<const std::uint8_t, kUrbHeaderSize> bytes);
UrbHeaderBytes EncodeUnlinkReply(const UnlinkReply& reply);
UnlinkReply DecodeUnlinkReply(std::span<const std::uint8_t, kUrbHeaderSize> bytes);

}  // namespace hx::usbip
