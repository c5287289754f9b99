#pragma once
// Formatted console output for callers that print formatted text: the text is formatted into a
// fixed buffer of 1024 characters on the stack (a longer text is cut to 1023) and written with
// one console call, so lines from different threads never interleave inside a line.
//
// Formats are the C library's. In a wide format, "%ls" takes a wide string and "%hs" an 8-bit
// string; never plain "%s" or "%S", whose meaning differs between platforms' libraries. An
// 8-bit string given to "%hs" is decoded with the locale, so text from the device should be made
// wide first (DeviceTextToWide) and given as "%ls".

namespace hx {

/// Formats wide text and writes it with Console().WriteWide.
void PrintWideF(const wchar_t* format, ...);

/// Formats 8-bit text and writes it with Console().WriteNarrow, byte for byte.
void PrintNarrowF(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace hx
