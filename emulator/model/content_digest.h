#pragma once
// A running digest of a byte stream (64-bit FNV-1a) and its length: what an image is known by
// between its download and its reading back, without holding the image itself.

#include <cstdint>
#include <span>

namespace hx::emu {

class ContentDigest {
 public:
  void Add(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) {
      value_ = (value_ ^ byte) * kPrime;
    }
    length_ += bytes.size();
  }
  std::uint64_t Value() const { return value_; }
  std::uint64_t Length() const { return length_; }
  bool operator==(const ContentDigest&) const = default;

 private:
  static constexpr std::uint64_t kOffsetBasis = 0xCBF29CE484222325u;
  static constexpr std::uint64_t kPrime = 0x100000001B3u;
  std::uint64_t value_ = kOffsetBasis;
  std::uint64_t length_ = 0;
};

}  // namespace hx::emu
