#pragma once
// Whether a configuration file is well-formed XML, as the device's parser would find it. The
// document is fed a piece at a time, so that a file of any size is checked in bounded memory.
// The parser itself is not part of the device's core: whoever builds the device hands it one.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace hx::emu {

enum class XmlVerdict { kWellFormed, kMalformed, kUnchecked };

/// One document checked with a real XML parser. A parser is given a few MiB at most: a
/// document with a single token (a tag, a comment) too large for them is one the device's
/// parser cannot read either, and is malformed.
///
/// Threading: one thread, from construction to destruction.
class XmlCheck {
 public:
  virtual ~XmlCheck() = default;
  /// Checks the document's next piece; false once the verdict is known whatever follows.
  virtual bool Feed(std::span<const std::uint8_t> piece) = 0;
  /// The verdict, what was fed being the whole document.
  virtual XmlVerdict Finish() = 0;
};

/// Makes the check of one document; null where none can be made.
using XmlCheckFactory = std::function<std::unique_ptr<XmlCheck>()>;

}  // namespace hx::emu
