#pragma once
// Text in fixed buffers: formatting and copying that never write past the capacity and always
// leave a terminated text when the capacity is at least 1.
//
// Results: S_OK; E_INVALIDARG for a capacity of 0 or above 0x7FFFFFFF (buffer untouched);
// 0x8007007A when the text was cut to capacity - 1 characters.

#include <cstdarg>
#include <span>

#include "platform/hresult.h"

namespace hx {

HRESULT FormatBoundedW(std::span<wchar_t> buffer, const wchar_t* format, ...);
HRESULT FormatBoundedA(std::span<char> buffer, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
/// The same as FormatBoundedW and FormatBoundedA, with the arguments as a va_list, for
/// helpers that take a format of their own.
HRESULT FormatBoundedWV(std::span<wchar_t> buffer, const wchar_t* format, std::va_list arguments);
HRESULT FormatBoundedAV(std::span<char> buffer, const char* format, std::va_list arguments)
    __attribute__((format(printf, 2, 0)));
HRESULT CopyBoundedW(std::span<wchar_t> buffer, const wchar_t* source);
HRESULT CopyBoundedA(std::span<char> buffer, const char* source);

}  // namespace hx
