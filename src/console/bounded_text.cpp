#include "console/bounded_text.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

namespace hx {
namespace {

constexpr std::size_t kMaxCapacity = 0x7FFFFFFF;

bool UsableCapacity(std::size_t capacity) {
  return capacity != 0 && capacity <= kMaxCapacity;
}

// The formatters report truncation differently (vsnprintf the full length, vswprintf -1); both
// are read as "cut" when the output did not fit in capacity - 1 characters.
template <typename Char>
HRESULT FinishFormat(std::span<Char> buffer, int written) {
  if (written < 0 || static_cast<std::size_t>(written) > buffer.size() - 1) {
    buffer.back() = 0;
    return kHrInsufficientBuffer;
  }
  return S_OK;
}

template <typename Char>
HRESULT CopyBounded(std::span<Char> buffer, const Char* source) {
  if (!UsableCapacity(buffer.size())) {
    return E_INVALIDARG;
  }
  std::size_t copied = 0;
  while (copied < buffer.size() && source[copied] != 0) {
    buffer[copied] = source[copied];
    ++copied;
  }
  if (copied == buffer.size()) {
    buffer.back() = 0;
    return kHrInsufficientBuffer;
  }
  buffer[copied] = 0;
  return S_OK;
}

}  // namespace

HRESULT FormatBoundedWV(std::span<wchar_t> buffer, const wchar_t* format, std::va_list arguments) {
  if (!UsableCapacity(buffer.size())) {
    return E_INVALIDARG;
  }
  return FinishFormat(buffer, std::vswprintf(buffer.data(), buffer.size(), format, arguments));
}

HRESULT FormatBoundedAV(std::span<char> buffer, const char* format, std::va_list arguments) {
  if (!UsableCapacity(buffer.size())) {
    return E_INVALIDARG;
  }
  return FinishFormat(buffer, std::vsnprintf(buffer.data(), buffer.size(), format, arguments));
}

HRESULT FormatBoundedW(std::span<wchar_t> buffer, const wchar_t* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  const HRESULT result = FormatBoundedWV(buffer, format, arguments);
  va_end(arguments);
  return result;
}

HRESULT FormatBoundedA(std::span<char> buffer, const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  const HRESULT result = FormatBoundedAV(buffer, format, arguments);
  va_end(arguments);
  return result;
}

HRESULT CopyBoundedW(std::span<wchar_t> buffer, const wchar_t* source) {
  return CopyBounded(buffer, source);
}

HRESULT CopyBoundedA(std::span<char> buffer, const char* source) {
  return CopyBounded(buffer, source);
}

}  // namespace hx
