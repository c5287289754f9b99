#pragma once
// Whether a configuration file is well-formed XML, as the device's parser would find it.

#include <cstdint>
#include <span>

namespace hx::emu {

enum class XmlVerdict { kWellFormed, kMalformed, kUnchecked };

/// Checks document with a real XML parser; kUnchecked where this build has none.
XmlVerdict CheckXml(std::span<const std::uint8_t> document);

/// False where this build has no XML parser, so that the emulator can say so.
bool XmlCheckAvailable();

/// What the emulator says where the check is not available.
inline const char* XmlCheckUnavailableText() {
  return "This build has no XML parser: QVCONFIG.XML is not checked, and the parse result "
         "is answered with 0x80070032 (not supported).";
}

}  // namespace hx::emu
