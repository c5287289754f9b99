#pragma once
// Results as hx7300-emulator's messages give them: the system's text and the code.

#include <string>

#include "platform/hresult.h"

namespace hx::emu {

/// "<the system's text> (0x%08X)", or the code alone when the system has no text for it.
std::string DescribeResult(HRESULT code);

}  // namespace hx::emu
