#pragma once

#include <memory>

namespace hx {

/// Converts wide text to 8-bit text in the system ANSI code page (Windows-1252 on POSIX).
/// Returns a new zero-terminated allocation of the needed size plus two spare zero bytes, or
/// null when the text cannot be converted (a character without a form in the code page) or
/// memory is short.
std::unique_ptr<char[]> WideToAnsi(const wchar_t* source);

}  // namespace hx
