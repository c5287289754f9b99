#pragma once
// The system ANSI code page: the 8-bit encoding of text that crosses to the device. On Windows
// the system's own; on POSIX Windows-1252, so that text typed on either platform reaches the
// device as the same bytes.

#include <cstddef>
#include <span>

namespace hx::platform {

/// The bytes text needs in the code page, its terminator included; 0 when a character has no
/// exact form there (no best-fit substitutes, no default character).
std::size_t AnsiBytesNeeded(const wchar_t* text);

/// Encodes text and its terminator into dest, which must hold AnsiBytesNeeded(text) bytes;
/// false when it cannot.
bool EncodeAnsi(const wchar_t* text, std::span<char> dest);

}  // namespace hx::platform
