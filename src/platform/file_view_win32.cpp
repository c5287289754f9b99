// What the read-only file view opens on Windows.
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/debug_output.h"
#include "platform/file_view_system.h"

namespace hx::platform {
namespace {

// Only a file on a disk can be viewed. Opening a pipe or a device acts on it (a pipe server
// sees a client, a device may wait), so what a name is comes out before the open where the
// name says it, and from the open handle otherwise.
HRESULT Refuse(const wchar_t* path, const wchar_t* what, std::uint32_t error) {
  WriteDebugLine(std::wstring(L"CReadOnlyFileView::Open: ") + path + L" is " + what);
  return HresultFromError(error);
}

bool NamesADevice(std::wstring_view path) {
  return path.starts_with(L"\\\\.\\") || path.starts_with(L"//./");
}

HRESULT RefuseUnlessFileOnDisk(const wchar_t* path, HANDLE file) {
  switch (::GetFileType(file)) {
    case FILE_TYPE_DISK:
      return S_OK;
    case FILE_TYPE_PIPE:
      return Refuse(path, L"a pipe", kErrorNotSupported);
    default:
      return Refuse(path, L"a device", kErrorNotSupported);
  }
}

}  // namespace

HRESULT OpenFileToView(const wchar_t* path, std::intptr_t& file) {
  if (path == nullptr) {
    return HresultFromError(kErrorInvalidParameter);
  }
  if (NamesADevice(path)) {
    return Refuse(path, L"a device", kErrorNotSupported);
  }
  const DWORD attributes = ::GetFileAttributesW(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return Refuse(path, L"a directory", kErrorAccessDenied);  // as Windows refuses to open one
  }
  // Existing files only, others may read it too (and nobody may write it meanwhile).
  const HANDLE opened = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    return HresultFromError(::GetLastError());
  }
  if (const HRESULT hr = RefuseUnlessFileOnDisk(path, opened); FAILED(hr)) {
    ::CloseHandle(opened);
    return hr;
  }
  file = reinterpret_cast<std::intptr_t>(opened);
  return S_OK;
}

}  // namespace hx::platform
