#pragma once

#include <span>

#include "platform/hresult.h"

namespace hx {

/// Reads one passcode line from the console with echo off into buffer (capacity =
/// buffer.size(), at most capacity - 1 characters kept). Only letters and digits are accepted;
/// an empty line is a passcode too. Results: S_OK; E_INVALIDARG for a line that is too long or
/// holds anything but letters and digits; E_OUTOFMEMORY; the console's failure. The scratch
/// memory that held the typed text is wiped before this returns.
HRESULT ReadPasscode(std::span<wchar_t> buffer);

}  // namespace hx
