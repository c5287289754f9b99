#pragma once
// The passcodes a run of the utility can set, as the bytes that reach the device: what the
// passcode prompt lets an operator type (letters and digits, at most 15 of them), converted to
// Windows-1252 as every typed text is. The device compares these bytes and nothing else, so
// the utility and the virtual device judge a passcode by the same rules, kept here.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace hx {

/// The most characters the passcode prompt keeps, and so the most bytes a passcode has.
inline constexpr std::size_t kMaxPasscodeLength = 15;

/// Why bytes cannot be a passcode that a run sets.
enum class PasscodeFault { kNone, kEmpty, kTooLong, kUntypeable };

/// True for a Windows-1252 byte whose character the passcode prompt takes as a letter or a
/// digit on Linux or on Windows. The systems' classifications differ in six characters (glibc
/// counts the ordinal indicators and the micro sign, Windows the superscript digits); a
/// passcode set from either system must stay usable, so all six count.
inline bool IsPasscodeByte(std::uint8_t byte) {
  const auto within = [byte](char first, char last) {
    return byte >= static_cast<std::uint8_t>(first) && byte <= static_cast<std::uint8_t>(last);
  };
  if (within('0', '9') || within('A', 'Z') || within('a', 'z')) {
    return true;
  }
  // The accented letters, but for the multiplication and division signs among them.
  constexpr std::uint8_t kFirstAccented = 0xC0;
  constexpr std::uint8_t kTimes = 0xD7;
  constexpr std::uint8_t kDivide = 0xF7;
  if (byte >= kFirstAccented) {
    return byte != kTimes && byte != kDivide;
  }
  // The letters among the code page's own characters (f with hook, modifier circumflex, S, OE
  // and Z with caron or ligature, Y with diaeresis), then the six that only one system counts.
  constexpr std::array<std::uint8_t, 15> kOthers = {0x83, 0x88, 0x8A, 0x8C, 0x8E, 0x9A, 0x9C, 0x9E,
                                                    0x9F, 0xAA, 0xB2, 0xB3, 0xB5, 0xB9, 0xBA};
  return std::ranges::find(kOthers, byte) != kOthers.end();
}

/// kNone when bytes are a passcode that a run can set: 1 to 15 passcode bytes. A run may send
/// an empty passcode to be checked, but never sets one.
inline PasscodeFault CheckPasscode(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) {
    return PasscodeFault::kEmpty;
  }
  if (bytes.size() > kMaxPasscodeLength) {
    return PasscodeFault::kTooLong;
  }
  return std::ranges::all_of(bytes, IsPasscodeByte) ? PasscodeFault::kNone
                                                    : PasscodeFault::kUntypeable;
}

}  // namespace hx
