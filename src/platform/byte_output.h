#pragma once
// Wide text made bytes with the locale, and bytes written whole to a file descriptor: the two
// steps every POSIX text output shares.

#include <string>
#include <string_view>

namespace hx::platform {

/// The text in the locale's multibyte encoding; a character the locale cannot express becomes
/// '?'.
std::string NarrowWithLocale(std::wstring_view text);

/// Writes all bytes to the descriptor, continuing after interruptions and partial writes.
/// Returns false when the descriptor refuses them.
bool WriteAllToDescriptor(int descriptor, std::string_view bytes);

}  // namespace hx::platform
