#pragma once
// The line reader behind the operator's confirmations.

#include <span>

#include "platform/hresult.h"

namespace hx {

/// Reads at most one line of standard input, character by character through Console(), into
/// buffer (capacity = buffer.size(), counting the terminator). Stops at a line feed (taken,
/// not stored), at the end of input, or when capacity - 1 characters are stored; in the last
/// case the rest of the line stays for the next reader.
/// Results: S_OK (also when input ended after some characters); 0x80070026 when input ended
/// before any character (empty text stored); 0x8007007A for a capacity of 0 or 1 (nothing
/// read; capacity 1 stores an empty text); E_INVALIDARG for a capacity above 0x7FFFFFFF.
HRESULT ReadStdinLine(std::span<char> buffer);

}  // namespace hx
