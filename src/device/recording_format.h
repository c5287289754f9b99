#pragma once
// The shape of a recording of the channel's traffic (HX7300_RECORD), shared by the channel that
// writes one and the backend that plays one back (HX7300_DEVICE=replay:<path>). A recording is
// JSON Lines: a header record, then one record per transfer and per status interrupt, and an
// end record when the channel closed. Packets are written as hex, two digits a byte; a byte that
// a recording must never hold is written as the marker instead.

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "protocol/xu_packet.h"

namespace hx {

inline constexpr std::string_view kRecordingFormat = "hx7300-recording";
inline constexpr int kRecordingVersion = 1;
/// What stands in a packet's hex for a byte left out of the recording.
inline constexpr std::string_view kRedactedByte = "**";

/// The two transfers of the channel, by the names their records carry.
enum class TransferKind { kSet, kGet };
inline constexpr std::string_view TransferName(TransferKind kind) {
  return kind == TransferKind::kSet ? "set" : "get";
}

/// One bit per packet byte: set for a byte that the recording leaves out.
using RedactedBytes = std::bitset<kXuPacketSize>;

/// The bytes of a packet that a recording leaves out: of a passcode request (the
/// system-configuration control with Arg1 2, validate, or 3, change) and of its reply, which a
/// device may echo it in, the passcode text and the length byte that gives away how long it is.
/// None for any other packet.
RedactedBytes SecretBytes(std::uint8_t selector, XuConstBytes packet);

/// The length of a packet's hex.
inline constexpr std::size_t kPacketHexSize = 2 * kXuPacketSize;

/// Writes the packet as 104 hex digits into text, with the marker for every redacted byte.
void WritePacketHex(XuConstBytes packet, const RedactedBytes& redacted,
                    std::span<char, kPacketHexSize> text);

/// Reads what WritePacketHex writes (either letter case); redacted bytes are read as zero. False
/// for text of any other length or with anything else in it.
bool ParsePacketHex(std::string_view text, XuPacket& packet, RedactedBytes& redacted);

}  // namespace hx
