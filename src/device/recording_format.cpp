#include "device/recording_format.h"

#include "protocol/opcodes.h"
#include "protocol/system_config.h"

namespace hx {
namespace {

constexpr char kDigits[] = "0123456789abcdef";

int DigitValue(char ch) {
  if (ch >= '0' && ch <= '9') {
    return ch - '0';
  }
  if (ch >= 'a' && ch <= 'f') {
    return ch - 'a' + 10;
  }
  if (ch >= 'A' && ch <= 'F') {
    return ch - 'A' + 10;
  }
  return -1;
}

}  // namespace

RedactedBytes SecretBytes(std::uint8_t selector, XuConstBytes packet) {
  RedactedBytes secret;
  const XuPacket request = XuPacket::FromBytes(packet);
  // The device tells the passcode requests apart by Arg1 alone, whatever the opcode byte says.
  if (selector != SelectorFor(XU_OPCODE_SYSTEM_CONFIG) ||
      (request.Arg1() != kConfigArg1ValidatePasscode &&
       request.Arg1() != kConfigArg1ChangePasscode)) {
    return secret;
  }
  // Byte 0, the Length, tells how long the passcode is.
  secret.set(0);
  const auto first =
      static_cast<std::size_t>(request.PasscodeText().data() - request.Bytes().data());
  for (std::size_t i = first; i < first + request.PasscodeText().size(); ++i) {
    secret.set(i);
  }
  return secret;
}

void WritePacketHex(XuConstBytes packet, const RedactedBytes& redacted,
                    std::span<char, kPacketHexSize> text) {
  for (std::size_t i = 0; i < kXuPacketSize; ++i) {
    const bool left_out = redacted.test(i);
    text[2 * i] = left_out ? kRedactedByte[0] : kDigits[packet[i] >> 4];
    text[2 * i + 1] = left_out ? kRedactedByte[1] : kDigits[packet[i] & 0x0F];
  }
}

bool ParsePacketHex(std::string_view text, XuPacket& packet, RedactedBytes& redacted) {
  if (text.size() != kPacketHexSize) {
    return false;
  }
  redacted.reset();
  for (std::size_t i = 0; i < kXuPacketSize; ++i) {
    const std::string_view pair = text.substr(2 * i, 2);
    if (pair == kRedactedByte) {
      redacted.set(i);
      packet.SetByte(i, 0);
      continue;
    }
    const int high = DigitValue(pair[0]);
    const int low = DigitValue(pair[1]);
    if (high < 0 || low < 0) {
      return false;
    }
    packet.SetByte(i, static_cast<std::uint8_t>(high * 16 + low));
  }
  return true;
}

}  // namespace hx
