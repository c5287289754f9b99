#pragma once

#include <span>

#include "platform/hresult.h"

namespace hx {

/// The whole life of one run: parse the command line, open the device, run the mode's handler,
/// release the device. Returns the exit status as an HRESULT (0 after a usage screen, which
/// ends the process itself).
HRESULT RunEntry(std::span<const wchar_t* const> arguments);

}  // namespace hx
