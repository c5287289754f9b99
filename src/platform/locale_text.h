#pragma once
// Text that crosses from the system's bytes to wide text and back: command-line arguments in,
// file names out. A byte the locale cannot decode is kept as an escape (U+DC80 + byte) so that
// a file name survives the round trip whatever the locale.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace hx::platform {

/// Decodes bytes with the locale; undecodable bytes become escapes.
std::wstring WidenLocaleText(std::string_view bytes);
/// The same into out, without a copy anywhere else (for secrets, which are wiped where they
/// are kept): how many characters it holds, or nullopt when they do not fit.
std::optional<std::size_t> WidenLocaleTextInto(std::string_view bytes, std::span<wchar_t> out);
/// Encodes wide text with the locale, escapes back to their bytes; nullopt when a character
/// has no form in the locale.
std::optional<std::string> NarrowLocaleText(std::wstring_view text);

}  // namespace hx::platform
