#include <expat.h>

#include <climits>

#include "model/xml_check.h"

namespace hx::emu {

XmlVerdict CheckXml(std::span<const std::uint8_t> document) {
  // A configuration file is a few hundred kilobytes at most; one too large for the parser's
  // length is no file the device would parse.
  if (document.size() > INT_MAX) {
    return XmlVerdict::kMalformed;
  }
  XML_Parser parser = XML_ParserCreate(nullptr);
  if (parser == nullptr) {
    return XmlVerdict::kUnchecked;
  }
  const XML_Status status = XML_Parse(parser, reinterpret_cast<const char*>(document.data()),
                                      static_cast<int>(document.size()), XML_TRUE);
  XML_ParserFree(parser);
  return status == XML_STATUS_OK ? XmlVerdict::kWellFormed : XmlVerdict::kMalformed;
}

bool XmlCheckAvailable() {
  return true;
}

}  // namespace hx::emu
