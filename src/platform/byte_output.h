#pragma once
// Wide text made bytes with the locale, and bytes written whole to a file descriptor: the two
// steps every POSIX text output shares.

#include <string>
#include <string_view>

#include "platform/hresult.h"

namespace hx::platform {

/// The text in the locale's multibyte encoding; a character the locale cannot express becomes
/// '?'.
std::string NarrowWithLocale(std::wstring_view text);

/// Writes all bytes to the descriptor, continuing after interruptions and partial writes.
/// S_OK, or the failure of the write the descriptor refused (errno translated), such as
/// 0x80070070 for a full disk or 0x800700E8 for a pipe whose reader has gone.
HRESULT WriteAllToDescriptor(int descriptor, std::string_view bytes);

}  // namespace hx::platform
