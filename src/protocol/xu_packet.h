#pragma once
// The 52-byte packet of every exchange with the device. This header owns the byte offsets:
// operations read and write packets through the named fields below, never by index.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/hresult.h"

namespace hx {

inline constexpr std::size_t kXuPacketSize = 52;
inline constexpr std::size_t kXuPayloadSize = 48;

using XuBytes = std::span<std::uint8_t, kXuPacketSize>;
using XuConstBytes = std::span<const std::uint8_t, kXuPacketSize>;

class XuPacket {
 public:
  /// A packet of 52 zero bytes.
  XuPacket() = default;
  static XuPacket FromBytes(XuConstBytes bytes) {
    XuPacket packet;
    std::copy(bytes.begin(), bytes.end(), packet.bytes_.begin());
    return packet;
  }

  XuBytes Bytes() { return XuBytes(bytes_); }
  XuConstBytes Bytes() const { return XuConstBytes(bytes_); }
  void Clear() { bytes_.fill(0); }

  // Header, shared by every opcode.
  std::uint8_t Length() const { return bytes_[0]; }
  void SetLength(std::uint8_t value) { bytes_[0] = value; }
  std::uint8_t Opcode() const { return bytes_[1]; }
  void SetOpcode(std::uint8_t value) { bytes_[1] = value; }
  std::uint8_t Arg0() const { return bytes_[2]; }
  void SetArg0(std::uint8_t value) { bytes_[2] = value; }
  std::uint8_t Arg1() const { return bytes_[3]; }
  void SetArg1(std::uint8_t value) { bytes_[3] = value; }
  /// The device's result in the replies to opcodes 4, 5, 7, 10, 12 and 13 (0 = success).
  std::int32_t Status() const { return static_cast<std::int32_t>(U32(4)); }
  void SetStatus(std::int32_t value) { SetU32(4, static_cast<std::uint32_t>(value)); }

  // Payload, bytes 4..51.
  std::span<std::uint8_t, kXuPayloadSize> Payload() { return std::span(bytes_).subspan<4, 48>(); }
  std::span<const std::uint8_t, kXuPayloadSize> Payload() const {
    return std::span(bytes_).subspan<4, 48>();
  }

  // Image transfer (opcodes 5, 6 and 7).
  std::uint8_t ImageIndexField() const { return bytes_[8]; }
  void SetInfoImageIndex(std::uint8_t value) { bytes_[8] = value; }
  std::uint32_t ImageSize() const { return U32(12); }
  void SetImageSize(std::uint32_t value) { SetU32(12, value); }
  std::uint8_t BlockMarker() const { return bytes_[8]; }
  void SetBlockMarker(std::uint8_t value) { bytes_[8] = value; }
  std::uint8_t CommitImageIndex() const { return bytes_[9]; }
  void SetCommitImageIndex(std::uint8_t value) { bytes_[9] = value; }
  std::uint16_t BlockNumber() const { return U16(10); }
  void SetBlockNumber(std::uint16_t value) { SetU16(10, value); }

  // System configuration (opcode 13): passcode, time zone and configuration commands.
  std::int32_t ConfigCommand() const { return static_cast<std::int32_t>(U32(8)); }
  void SetConfigCommand(std::int32_t value) { SetU32(8, static_cast<std::uint32_t>(value)); }
  /// Passcode text, bytes 12..27 (at most 15 bytes and a zero byte).
  std::span<std::uint8_t, 16> PasscodeText() { return std::span(bytes_).subspan<12, 16>(); }
  std::span<const std::uint8_t, 16> PasscodeText() const {
    return std::span(bytes_).subspan<12, 16>();
  }
  /// Configuration data, bytes 12..51.
  std::span<std::uint8_t, 40> ConfigData() { return std::span(bytes_).subspan<12, 40>(); }
  std::span<const std::uint8_t, 40> ConfigData() const {
    return std::span(bytes_).subspan<12, 40>();
  }
  std::int32_t ValidationResult() const { return static_cast<std::int32_t>(U32(12)); }
  void SetValidationResult(std::int32_t value) { SetU32(12, static_cast<std::uint32_t>(value)); }
  /// The time and time zone request: the local time at bytes 12..27, UTC at 28..43.
  SYSTEMTIME ConfigLocalTime() const { return TimeAt(12); }
  void SetConfigLocalTime(const SYSTEMTIME& time) { SetTimeAt(12, time); }
  SYSTEMTIME ConfigUtcTime() const { return TimeAt(28); }
  void SetConfigUtcTime(const SYSTEMTIME& time) { SetTimeAt(28, time); }

  // Network image update (opcode 4).
  std::uint16_t Step() const { return U16(8); }
  void SetStep(std::uint16_t value) { SetU16(8, value); }
  /// The reply's step code: byte 8 alone (byte 9 is not used in a reply).
  std::uint8_t ReplyStep() const { return bytes_[8]; }
  void SetReplyStep(std::uint8_t value) { bytes_[8] = value; }
  std::uint16_t Port() const { return U16(10); }
  void SetPort(std::uint16_t value) { SetU16(10, value); }
  std::uint16_t StepCount() const { return U16(10); }
  void SetStepCount(std::uint16_t value) { SetU16(10, value); }
  std::int32_t Percent() const { return static_cast<std::int32_t>(U32(12)); }
  void SetPercent(std::int32_t value) { SetU32(12, static_cast<std::uint32_t>(value)); }
  /// Server or URL text, bytes 16..51 (at most 35 bytes and a zero byte).
  std::span<std::uint8_t, 36> NetText() { return std::span(bytes_).subspan<16, 36>(); }
  std::span<const std::uint8_t, 36> NetText() const { return std::span(bytes_).subspan<16, 36>(); }

  // Diagnostics (opcodes 10 and 12).
  std::uint8_t FlushLog() const { return bytes_[4]; }
  void SetFlushLog(std::uint8_t value) { bytes_[4] = value; }
  std::int32_t UploadStatus() const { return static_cast<std::int32_t>(U32(8)); }
  void SetUploadStatus(std::int32_t value) { SetU32(8, static_cast<std::uint32_t>(value)); }

  // DSP exchange (opcode 15): the request code in the request, the record from byte 4 on in
  // the reply.
  void SetDspRequest(std::uint8_t value) { bytes_[4] = value; }
  std::uint8_t DspRequest() const { return bytes_[4]; }

  // Little-endian fields at fixed offsets, for the decoders in this directory.
  std::uint16_t U16(std::size_t offset) const {
    return static_cast<std::uint16_t>(bytes_.at(offset) | (bytes_.at(offset + 1) << 8));
  }
  std::uint32_t U32(std::size_t offset) const {
    return static_cast<std::uint32_t>(bytes_.at(offset)) |
           (static_cast<std::uint32_t>(bytes_.at(offset + 1)) << 8) |
           (static_cast<std::uint32_t>(bytes_.at(offset + 2)) << 16) |
           (static_cast<std::uint32_t>(bytes_.at(offset + 3)) << 24);
  }
  void SetU16(std::size_t offset, std::uint16_t value) {
    bytes_.at(offset) = static_cast<std::uint8_t>(value);
    bytes_.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
  }
  void SetU32(std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
      bytes_.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
    }
  }
  std::uint8_t Byte(std::size_t offset) const { return bytes_.at(offset); }
  void SetByte(std::size_t offset, std::uint8_t value) { bytes_.at(offset) = value; }

  friend bool operator==(const XuPacket&, const XuPacket&) = default;

 private:
  // A time record: eight little-endian 16-bit fields, year first.
  SYSTEMTIME TimeAt(std::size_t offset) const {
    return {U16(offset),     U16(offset + 2),  U16(offset + 4),  U16(offset + 6),
            U16(offset + 8), U16(offset + 10), U16(offset + 12), U16(offset + 14)};
  }
  void SetTimeAt(std::size_t offset, const SYSTEMTIME& time) {
    const WORD fields[] = {time.wYear, time.wMonth,  time.wDayOfWeek, time.wDay,
                           time.wHour, time.wMinute, time.wSecond,    time.wMilliseconds};
    for (const WORD field : fields) {
      SetU16(offset, field);
      offset += 2;
    }
  }

  std::array<std::uint8_t, kXuPacketSize> bytes_{};
};

/// Copies text into a field as a zero-terminated byte string: at most field.size() - 1 bytes,
/// then a zero byte. The bytes after the terminator are left as they were.
inline void SetFieldText(std::span<std::uint8_t> field, std::string_view text) {
  if (field.empty()) {
    return;
  }
  const std::size_t n = std::min(text.size(), field.size() - 1);
  std::ranges::copy(text.substr(0, n), field.begin());
  field[n] = 0;
}

}  // namespace hx
