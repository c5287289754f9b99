#include <io.h>
#include <windows.h>

#include <climits>

#include "platform/byte_output.h"
#include "platform/win32/handle_output.h"

namespace hx::platform {

// The system ANSI code page stands for the locale; a character it lacks becomes '?', as the
// conversion's default character.
std::string NarrowWithLocale(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX / 4) {
    return {};
  }
  const int length = static_cast<int>(text.size());
  const int needed =
      ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
  if (needed > 0) {
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, bytes.data(), needed, nullptr, nullptr);
  }
  return bytes;
}

// Straight to the descriptor's system handle: the C runtime's text mode would make every "\n"
// of the bytes a "\r\n".
HRESULT WriteAllToDescriptor(int descriptor, std::string_view bytes) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
    return HresultFromError(kErrorInvalidHandle);
  }
  return WriteAllToHandle(handle, bytes);
}

HRESULT WriteAllToHandle(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x10000000u ? 0x10000000u : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!::WriteFile(handle, bytes.data(), chunk, &written, nullptr)) {
      // A pipe whose reader has gone gives ERROR_NO_DATA, a full disk ERROR_DISK_FULL.
      return HresultFromError(::GetLastError());
    }
    bytes.remove_prefix(written);
  }
  return S_OK;
}

}  // namespace hx::platform
