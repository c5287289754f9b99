#pragma once
// The XML parser that hx7300-emulator's device checks its configuration file with: expat on
// Linux, the system's own on Windows.

#include <memory>

#include "model/xml_check.h"

namespace hx::emu {

/// The check of one document; null where this build has no parser.
std::unique_ptr<XmlCheck> MakeXmlParser();

/// What the emulator says where the check is not available.
inline const char* XmlCheckUnavailableText() {
  return "This build has no XML parser: QVCONFIG.XML is not checked, and the parse result "
         "is answered with 0x80070032 (not supported).";
}

}  // namespace hx::emu
