#pragma once
// Text as UTF-8, the encoding of the run log, whatever the locale and the width of wchar_t.

#include <string>
#include <string_view>

namespace hx {

/// Wide text (UTF-32, or UTF-16 with surrogate pairs) as UTF-8; a character that is no
/// character (a lone surrogate, an escaped byte) becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view text);

/// A line of wide text as UTF-8, without the line end it may carry.
std::string Utf8Line(std::wstring_view line);

/// 8-bit text of the ANSI code page (Windows-1252 on POSIX, as the utility's own 8-bit lines
/// are) as UTF-8.
std::string Utf8FromAnsi(std::string_view text);

}  // namespace hx
