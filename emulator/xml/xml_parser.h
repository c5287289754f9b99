#pragma once
// The XML parser that hx7300-emulator's device checks its configuration file with: expat on
// Linux, the system's own on Windows.

#include <memory>

#include "model/xml_check.h"

namespace hx::emu {

/// The check of one document; null where none can be made.
std::unique_ptr<XmlCheck> MakeXmlParser();

}  // namespace hx::emu
