#pragma once
// Paths of the built programs and the lines they print, for end-to-end tests.

#include <string>

#include "platform/hresult.h"

namespace hx::test {

std::string HxBinary();
std::string EmulatorBinary();
/// The exact console line ReportError prints for code.
std::string ReportLine(HRESULT code);

}  // namespace hx::test
