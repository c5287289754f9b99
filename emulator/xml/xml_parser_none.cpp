// A build without an XML parser: the emulator says so when it starts, and answers a parse
// result query with "not supported".
#include "xml/xml_parser.h"

namespace hx::emu {

std::unique_ptr<XmlCheck> MakeXmlParser() {
  return nullptr;
}

}  // namespace hx::emu
