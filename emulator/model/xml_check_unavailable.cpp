// The Windows build has no XML parser to link (Debian ships none built for it); the emulator
// says so when it starts, and answers a parse result query with "not supported".
#include "model/xml_check.h"

namespace hx::emu {

struct XmlCheck::Parser {};

XmlCheck::XmlCheck() = default;
XmlCheck::~XmlCheck() = default;

bool XmlCheck::Feed(std::span<const std::uint8_t>) {
  return false;
}

XmlVerdict XmlCheck::Finish() {
  return XmlVerdict::kUnchecked;
}

bool XmlCheckAvailable() {
  return false;
}

}  // namespace hx::emu
