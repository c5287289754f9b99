#pragma once
// Whether a configuration file is well-formed XML, as the device's parser would find it. The
// document is fed a piece at a time, so that a file of any size is checked in bounded memory.

#include <cstdint>
#include <memory>
#include <span>

namespace hx::emu {

enum class XmlVerdict { kWellFormed, kMalformed, kUnchecked };

/// One document checked with a real XML parser; kUnchecked where this build has none. The
/// parser is given a few MiB at most: a document with a single token (a tag, a comment) too
/// large for them is one the device's parser cannot read either, and is malformed.
///
/// Threading: one thread, from construction to destruction.
class XmlCheck {
 public:
  XmlCheck();
  ~XmlCheck();
  XmlCheck(const XmlCheck&) = delete;
  XmlCheck& operator=(const XmlCheck&) = delete;

  /// Checks the document's next piece; false once the verdict is known whatever follows.
  bool Feed(std::span<const std::uint8_t> piece);
  /// The verdict, what was fed being the whole document.
  XmlVerdict Finish();

 private:
  struct Parser;
  std::unique_ptr<Parser> parser_;
};

/// False where this build has no XML parser, so that the emulator can say so.
bool XmlCheckAvailable();

/// What the emulator says where the check is not available.
inline const char* XmlCheckUnavailableText() {
  return "This build has no XML parser: QVCONFIG.XML is not checked, and the parse result "
         "is answered with 0x80070032 (not supported).";
}

}  // namespace hx::emu
