#pragma once

#include <span>
#include <string_view>

#include "platform/hresult.h"

namespace hx {

/// Prints prompt and reads one passcode line from the console with echo off, turned off before
/// the prompt shows, into buffer (capacity = buffer.size(), at most capacity - 1 characters
/// kept). The prompt is printed whatever the result. Only letters and digits are accepted;
/// an empty line is a passcode too. Results: S_OK; E_INVALIDARG for a line that is too long or
/// holds anything but letters and digits; E_OUTOFMEMORY; the console's failure. The scratch
/// memory that held the typed text is wiped before this returns. While a passcode file is in
/// use (console/passcode_file.h) the line is its next one instead, and nothing is printed.
HRESULT ReadPasscode(std::wstring_view prompt, std::span<wchar_t> buffer);

}  // namespace hx
