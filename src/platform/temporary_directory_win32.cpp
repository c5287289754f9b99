#include <windows.h>

#include <string>

#include "platform/temporary_directory.h"
#include "platform/win32/owner_only.h"

namespace hx {

HRESULT CTemporaryDirectory::Create(const std::string& prefix) {
  char base[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathA(sizeof(base), base);
  if (length == 0 || length > MAX_PATH) {
    return HresultFromError(::GetLastError());
  }
  OwnerOnly owner_only;
  // CreateDirectory fails on a name that is taken: the next ending is tried.
  for (DWORD attempt = 0;; ++attempt) {
    const std::string path = std::string(base) + prefix + std::to_string(::GetCurrentProcessId()) +
                             "-" + std::to_string(attempt);
    if (::CreateDirectoryA(path.c_str(), owner_only.Attributes())) {
      path_ = path;
      return S_OK;
    }
    if (::GetLastError() != ERROR_ALREADY_EXISTS || attempt == 1000) {
      return HresultFromError(::GetLastError());
    }
  }
}

CTemporaryDirectory::~CTemporaryDirectory() {
  if (path_.empty()) {
    return;
  }
  WIN32_FIND_DATAA entry{};
  const HANDLE found = ::FindFirstFileA((path_ + "\\*").c_str(), &entry);
  for (BOOL more = found != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(found, &entry)) {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      ::DeleteFileA((path_ + "\\" + entry.cFileName).c_str());
    }
  }
  if (found != INVALID_HANDLE_VALUE) {
    ::FindClose(found);
  }
  ::RemoveDirectoryA(path_.c_str());
}

}  // namespace hx
