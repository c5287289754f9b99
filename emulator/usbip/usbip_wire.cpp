#include "usbip/usbip_wire.h"

#include <algorithm>

namespace hx::usbip {
namespace {

// Writes big-endian fields one after another.
class Writer {
 public:
  explicit Writer(std::span<std::uint8_t> bytes) : bytes_(bytes) {}
  Writer& U8(std::uint8_t value) {
    bytes_[at_++] = value;
    return *this;
  }
  Writer& U16(std::uint16_t value) {
    return U8(static_cast<std::uint8_t>(value >> 8)).U8(static_cast<std::uint8_t>(value & 0xFF));
  }
  Writer& U32(std::uint32_t value) {
    return U16(static_cast<std::uint16_t>(value >> 16))
        .U16(static_cast<std::uint16_t>(value & 0xFFFF));
  }
  // A zero-padded text field; the text is cut so that a terminating zero always remains.
  Writer& Text(const std::string& text, std::size_t field) {
    const std::size_t length = std::min(text.size(), field - 1);
    std::copy_n(text.begin(), length, bytes_.begin() + static_cast<std::ptrdiff_t>(at_));
    at_ += field;
    return *this;
  }
  Writer& Bytes(std::span<const std::uint8_t> data) {
    std::ranges::copy(data, bytes_.begin() + static_cast<std::ptrdiff_t>(at_));
    at_ += data.size();
    return *this;
  }
  Writer& Basic(const UrbBasic& basic) {
    return U32(static_cast<std::uint32_t>(basic.command))
        .U32(basic.sequence)
        .U32(basic.device_id)
        .U32(basic.direction)
        .U32(basic.endpoint);
  }

 private:
  std::span<std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

// Reads big-endian fields one after another.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint8_t U8() { return bytes_[at_++]; }
  std::uint16_t U16() {
    const std::uint16_t high = U8();
    return static_cast<std::uint16_t>((high << 8) | U8());
  }
  std::uint32_t U32() {
    const std::uint32_t high = U16();
    return (high << 16) | U16();
  }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  std::string Text(std::size_t field) {
    const auto span = bytes_.subspan(at_, field);
    at_ += field;
    const auto end = std::ranges::find(span, std::uint8_t{0});
    return std::string(span.begin(), end);
  }
  template <std::size_t N>
  std::array<std::uint8_t, N> Bytes() {
    std::array<std::uint8_t, N> out{};
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(at_), N, out.begin());
    at_ += N;
    return out;
  }
  UrbBasic Basic() {
    UrbBasic basic;
    basic.command = static_cast<UrbCommand>(U32());
    basic.sequence = U32();
    basic.device_id = U32();
    basic.direction = U32();
    basic.endpoint = U32();
    return basic;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

}  // namespace

OperationHeaderBytes EncodeOperationHeader(const OperationHeader& header) {
  OperationHeaderBytes bytes{};
  Writer(bytes).U16(header.version).U16(header.code).U32(header.status);
  return bytes;
}

OperationHeader DecodeOperationHeader(std::span<const std::uint8_t, kOperationHeaderSize> bytes) {
  Reader in(bytes);
  OperationHeader header;
  header.version = in.U16();
  header.code = in.U16();
  header.status = in.U32();
  return header;
}

DeviceRecordBytes EncodeDeviceRecord(const DeviceRecord& record) {
  DeviceRecordBytes bytes{};
  Writer(bytes)
      .Text(record.path, kDevicePathSize)
      .Text(record.bus_id, kBusIdSize)
      .U32(record.bus_number)
      .U32(record.device_number)
      .U32(record.speed)
      .U16(record.vendor_id)
      .U16(record.product_id)
      .U16(record.device_release)
      .U8(record.device_class)
      .U8(record.device_subclass)
      .U8(record.device_protocol)
      .U8(record.configuration_value)
      .U8(record.configuration_count)
      .U8(record.interface_count);
  return bytes;
}

DeviceRecord DecodeDeviceRecord(std::span<const std::uint8_t, kDeviceRecordSize> bytes) {
  Reader in(bytes);
  DeviceRecord record;
  record.path = in.Text(kDevicePathSize);
  record.bus_id = in.Text(kBusIdSize);
  record.bus_number = in.U32();
  record.device_number = in.U32();
  record.speed = in.U32();
  record.vendor_id = in.U16();
  record.product_id = in.U16();
  record.device_release = in.U16();
  record.device_class = in.U8();
  record.device_subclass = in.U8();
  record.device_protocol = in.U8();
  record.configuration_value = in.U8();
  record.configuration_count = in.U8();
  record.interface_count = in.U8();
  return record;
}

std::array<std::uint8_t, kInterfaceRecordSize> EncodeInterfaceRecord(std::uint8_t interface_class,
                                                                     std::uint8_t subclass,
                                                                     std::uint8_t protocol) {
  return {interface_class, subclass, protocol, 0};
}

std::uint32_t UrbCommandOf(std::span<const std::uint8_t, kUrbHeaderSize> bytes) {
  return Reader(bytes).U32();
}

UrbHeaderBytes EncodeSubmitCommand(const SubmitCommand& command) {
  UrbHeaderBytes bytes{};
  Writer(bytes)
      .Basic(command.basic)
      .U32(command.transfer_flags)
      .U32(command.buffer_length)
      .U32(command.start_frame)
      .U32(command.packet_count)
      .U32(command.interval)
      .Bytes(command.setup);
  return bytes;
}

SubmitCommand DecodeSubmitCommand(std::span<const std::uint8_t, kUrbHeaderSize> bytes) {
  Reader in(bytes);
  SubmitCommand command;
  command.basic = in.Basic();
  command.transfer_flags = in.U32();
  command.buffer_length = in.U32();
  command.start_frame = in.U32();
  command.packet_count = in.U32();
  command.interval = in.U32();
  command.setup = in.Bytes<8>();
  return command;
}

UrbHeaderBytes EncodeSubmitReply(const SubmitReply& reply) {
  UrbHeaderBytes bytes{};
  Writer(bytes)
      .Basic(reply.basic)
      .U32(static_cast<std::uint32_t>(reply.status))
      .U32(reply.actual_length)
      .U32(reply.start_frame)
      .U32(reply.packet_count)
      .U32(reply.error_count);
  return bytes;
}

SubmitReply DecodeSubmitReply(std::span<const std::uint8_t, kUrbHeaderSize> bytes) {
  Reader in(bytes);
  SubmitReply reply;
  reply.basic = in.Basic();
  reply.status = in.I32();
  reply.actual_length = in.U32();
  reply.start_frame = in.U32();
  reply.packet_count = in.U32();
  reply.error_count = in.U32();
  return reply;
}

UrbHeaderBytes EncodeUnlinkCommand(const UnlinkCommand& command) {
  UrbHeaderBytes bytes{};
  Writer(bytes).Basic(command.basic).U32(command.unlinked_sequence);
  return bytes;
}

UnlinkCommand DecodeUnlinkCommand(std::span<const std::uint8_t, kUrbHeaderSize> bytes) {
  Reader in(bytes);
  UnlinkCommand command;
  command.basic = in.Basic();
  command.unlinked_sequence = in.U32();
  return command;
}

UrbHeaderBytes EncodeUnlinkReply(const UnlinkReply& reply) {
  UrbHeaderBytes bytes{};
  Writer(bytes).Basic(reply.basic).U32(static_cast<std::uint32_t>(reply.status));
  return bytes;
}

UnlinkReply DecodeUnlinkReply(std::span<const std::uint8_t, kUrbHeaderSize> bytes) {
  Reader in(bytes);
  UnlinkReply reply;
  reply.basic = in.Basic();
  reply.status = in.I32();
  return reply;
}

}  // namespace hx::usbip
