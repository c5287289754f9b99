#include <windows.h>

#include "platform/append_file.h"
#include "platform/win32/handle_output.h"

namespace hx::platform {

CAppendFile::~CAppendFile() {
  if (handle_ >= 0) {
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  }
}

HRESULT CAppendFile::Open(const std::wstring& path, Start start) {
  // Appending only: every write lands at the file's end whoever else writes it. Emptying the
  // file takes the right to write anywhere in it; its writes then follow one another from the
  // start, which is its end.
  const bool empty = start == Start::kEmpty;
  const HANDLE file = ::CreateFileW(
      path.c_str(), empty ? GENERIC_WRITE : FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
      nullptr, empty ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return HresultFromError(::GetLastError());
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return S_OK;
}

HRESULT CAppendFile::Append(std::string_view bytes) {
  return WriteAllToHandle(reinterpret_cast<HANDLE>(handle_), bytes);
}

}  // namespace hx::platform
