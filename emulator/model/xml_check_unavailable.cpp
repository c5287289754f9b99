// The Windows build has no XML parser to link (Debian ships none built for it); the emulator
// says so when it starts, and answers a parse result query with "not supported".
#include "model/xml_check.h"

namespace hx::emu {

XmlVerdict CheckXml(std::span<const std::uint8_t>) {
  return XmlVerdict::kUnchecked;
}

bool XmlCheckAvailable() {
  return false;
}

}  // namespace hx::emu
