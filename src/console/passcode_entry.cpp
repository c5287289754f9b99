#include "console/passcode_entry.h"

#include <cwctype>
#include <memory>
#include <new>

#include "console/bounded_text.h"
#include "console/console_io.h"
#include "console/passcode_file.h"
#include "platform/secure_wipe.h"

namespace hx {
namespace {

HRESULT CheckTypedLine(std::span<wchar_t> scratch, std::size_t count, std::size_t capacity) {
  // The console gives the line with its "\r\n"; anything that leaves more than capacity - 1
  // characters before it (or no line end at all) is refused.
  if (count - 2 >= capacity) {
    return E_INVALIDARG;
  }
  const std::size_t typed = count - 2;
  if (scratch[typed] == L'\r') {
    scratch[typed] = L'\0';
  }
  for (std::size_t i = 0; i < typed; ++i) {
    if (std::iswalnum(static_cast<std::wint_t>(scratch[i])) == 0) {
      return E_INVALIDARG;
    }
  }
  return S_OK;
}

}  // namespace

HRESULT ReadPasscode(std::wstring_view prompt, std::span<wchar_t> buffer) {
  const std::size_t scratch_size = 2 * buffer.size();
  CPasscodeFile* const file = PasscodeFileInUse();
  std::unique_ptr<wchar_t[]> storage(new (std::nothrow) wchar_t[scratch_size + 1]());
  if (!storage) {
    if (file == nullptr) {
      Console().WriteWide(prompt);
    }
    return E_OUTOFMEMORY;
  }
  // One spare character keeps the scratch text terminated whatever the console returns.
  const std::span<wchar_t> scratch(storage.get(), scratch_size);
  std::size_t count = 0;
  HRESULT hr = S_OK;
  if (file != nullptr) {
    file->NextLine(scratch, count);
  } else {
    hr = Console().ReadHiddenLine(prompt, scratch, count);
  }
  if (SUCCEEDED(hr)) {
    hr = CheckTypedLine(scratch, count, buffer.size());
  }
  if (SUCCEEDED(hr)) {
    // The check above leaves at most capacity - 1 characters; a cut copy cannot happen.
    CopyBoundedW(buffer, scratch.data());
  }
  SecureWipe(std::span<wchar_t>(storage.get(), scratch_size + 1));
  return hr;
}

}  // namespace hx
