// The state directory on Windows: the directory is held open (so that it cannot be removed or
// renamed meanwhile), every name is resolved inside the path it was opened as, and every file
// is opened without following a reparse point, so that a name swapped for a link cannot
// redirect a write elsewhere. Files and directories made here carry an access list that lets
// their owner alone in.
#include <windows.h>

#include <string>

#include "platform/state_directory.h"
#include "platform/win32/owner_only.h"

namespace hx {
namespace {

constexpr DWORD kNoFollow = FILE_FLAG_OPEN_REPARSE_POINT;

HANDLE Handle(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

std::intptr_t Stored(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<std::intptr_t>(handle);
}

HRESULT LastError() {
  return HresultFromError(::GetLastError());
}

// Names and paths come as bytes in the system ANSI code page, as a narrow command line gives them.
std::wstring Wide(std::string_view text) {
  if (text.empty()) {
    return {};
  }
  const int length = static_cast<int>(text.size());
  const int needed = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(needed > 0 ? needed : 0), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), needed);
  return wide;
}

// mkdir -p, each directory made for the owner alone.
bool MakeDirectories(const std::wstring& path) {
  OwnerOnly owner_only;
  for (std::size_t cut = path.find_first_of(L"\\/", 1);;
       cut = path.find_first_of(L"\\/", cut + 1)) {
    const std::wstring prefix = path.substr(0, cut);
    const bool drive = prefix.size() == 2 && prefix[1] == L':';
    if (!prefix.empty() && !drive && !::CreateDirectoryW(prefix.c_str(), owner_only.Attributes()) &&
        ::GetLastError() != ERROR_ALREADY_EXISTS) {
      return false;
    }
    if (cut == std::wstring::npos) {
      return true;
    }
  }
}

HANDLE OpenDirectory(const std::wstring& path) {
  return ::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

HRESULT CStateDirectory::Open(const std::string& path) {
  const std::wstring wide = Wide(path);
  HANDLE directory = OpenDirectory(wide);
  if (directory == INVALID_HANDLE_VALUE &&
      (::GetLastError() == ERROR_FILE_NOT_FOUND || ::GetLastError() == ERROR_PATH_NOT_FOUND) &&
      MakeDirectories(wide)) {
    directory = OpenDirectory(wide);
  }
  if (directory == INVALID_HANDLE_VALUE) {
    return LastError();
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(directory, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ::CloseHandle(directory);
    return kHrNotADirectory;
  }
  handle_ = Stored(directory);
  return S_OK;
}

namespace {

// The full path of name inside the directory held open, as the system names the directory now.
std::wstring PathIn(std::intptr_t directory, std::string_view name) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = ::GetFinalPathNameByHandleW(Handle(directory), path.data(),
                                             static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
  if (length >= path.size()) {
    path.resize(length + 1);
    length = ::GetFinalPathNameByHandleW(Handle(directory), path.data(),
                                         static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
  }
  path.resize(length < path.size() ? length : 0);
  return path + L"\\" + Wide(name);
}

}  // namespace

CStateDirectory::EntryKind CStateDirectory::Inspect(std::string_view name) const {
  const DWORD attributes = ::GetFileAttributesW(PathIn(handle_, name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return EntryKind::kAbsent;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return EntryKind::kLink;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return EntryKind::kDirectory;
  }
  return (attributes & FILE_ATTRIBUTE_DEVICE) != 0 ? EntryKind::kOther : EntryKind::kFile;
}

HRESULT CStateDirectory::OpenForReading(std::string_view name, CStateFileReader& reader) const {
  reader.Close();
  // Shared for deletion, so that a rename over the name while the file is read (a slot read
  // back as an update commits) goes ahead, as on POSIX, and the old file is read to its end.
  const HANDLE file = ::CreateFileW(PathIn(handle_, name).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | kNoFollow, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return LastError();
  }
  BY_HANDLE_FILE_INFORMATION info{};
  HRESULT hr = S_OK;
  if (!::GetFileInformationByHandle(file, &info)) {
    hr = LastError();
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    hr = HresultFromError(kErrorCannotResolveFilename);  // never followed
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    hr = HresultFromError(kErrorNotSupported);
  }
  if (FAILED(hr)) {
    ::CloseHandle(file);
    return hr;
  }
  reader.handle_ = Stored(file);
  return S_OK;
}

HRESULT CStateDirectory::Create(std::string_view name, CStateFile& file) {
  file.Close();
  if (Inspect(name) == EntryKind::kDirectory) {
    return HresultFromError(kErrorAccessDenied);
  }
  const HRESULT removed = Remove(name);
  if (FAILED(removed)) {
    return removed;
  }
  OwnerOnly owner_only;
  // CREATE_NEW: whatever takes the name meanwhile is refused, not written through.
  const HANDLE created =
      ::CreateFileW(PathIn(handle_, name).c_str(), GENERIC_WRITE, 0, owner_only.Attributes(),
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL | kNoFollow, nullptr);
  if (created == INVALID_HANDLE_VALUE) {
    return LastError();
  }
  file.handle_ = Stored(created);
  return S_OK;
}

HRESULT CStateDirectory::Replace(std::string_view from, std::string_view to) {
  // A link named to is replaced itself; its target is left alone.
  if (!::MoveFileExW(PathIn(handle_, from).c_str(), PathIn(handle_, to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return LastError();
  }
  return S_OK;
}

HRESULT CStateDirectory::Remove(std::string_view name) {
  const std::wstring path = PathIn(handle_, name);
  const EntryKind kind = Inspect(name);
  if (kind == EntryKind::kAbsent) {
    return S_OK;
  }
  // A link to a directory is removed as a directory; it is the link that goes, not its target.
  const bool removed = kind == EntryKind::kLink &&
                               (::GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0
                           ? ::RemoveDirectoryW(path.c_str()) != 0
                           : ::DeleteFileW(path.c_str()) != 0;
  if (!removed && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
    return LastError();
  }
  return S_OK;
}

// Windows has no call that writes a directory's entries through. Replace renames with
// MOVEFILE_WRITE_THROUGH, which returns once the rename is on the disk, and a new file's entry
// goes to the disk with the file on CStateFile::Sync (FlushFileBuffers commits NTFS's journal
// of such changes). A removal may still be lost in a crash: whoever removes a file must cope
// with finding it again.
HRESULT CStateDirectory::Sync() {
  return S_OK;
}

}  // namespace hx
