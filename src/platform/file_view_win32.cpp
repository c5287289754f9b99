// The view is read with ReadFile at explicit offsets rather than through a mapped view: a view
// whose pages cannot be read in (a file truncated by another system, a share or medium that
// went away) raises an in-page error at the next access, which would end the process, while a
// read simply fails or comes back short. A fixed window keeps the reads few. Reading costs
// nothing measurable beside the device's control transfers (see the README's benchmark).
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/debug_output.h"
#include "platform/file_view.h"

namespace hx {
namespace {

constexpr std::size_t kWindowSize = std::size_t{64} * 1024;

HRESULT LastError() {
  return HresultFromError(::GetLastError());
}

// What identifies the contents: the file itself, its size and its last write.
bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow && a.nFileSizeHigh == b.nFileSizeHigh &&
         a.nFileSizeLow == b.nFileSizeLow &&
         a.ftLastWriteTime.dwLowDateTime == b.ftLastWriteTime.dwLowDateTime &&
         a.ftLastWriteTime.dwHighDateTime == b.ftLastWriteTime.dwHighDateTime;
}

// Only a file on a disk can be viewed. Opening a pipe or a device acts on it (a pipe server
// sees a client, a device may wait), so what a name is comes out before the open where the
// name says it, and from the open handle otherwise.
HRESULT Refuse(const wchar_t* path, const wchar_t* what, std::uint32_t error) {
  platform::WriteDebugLine(std::wstring(L"CReadOnlyFileView::Open: ") + path + L" is " + what);
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

struct CReadOnlyFileView::Impl {
  HANDLE file = INVALID_HANDLE_VALUE;
  bool mapped = false;
  BY_HANDLE_FILE_INFORMATION identity{};
  std::vector<std::uint8_t> window;
  std::uint64_t window_offset = 0;
  std::size_t window_length = 0;
};

CReadOnlyFileView::CReadOnlyFileView() : impl_(std::make_unique<Impl>()) {}

CReadOnlyFileView::~CReadOnlyFileView() {
  Close();
}

HRESULT CReadOnlyFileView::Open(const wchar_t* path) {
  Close();
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
  const HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return LastError();
  }
  BY_HANDLE_FILE_INFORMATION info{};
  HRESULT hr = RefuseUnlessFileOnDisk(path, file);
  if (SUCCEEDED(hr) && !::GetFileInformationByHandle(file, &info)) {
    hr = LastError();
  }
  if (FAILED(hr)) {
    ::CloseHandle(file);
    return hr;
  }
  impl_->file = file;
  impl_->identity = info;
  return S_OK;
}

HRESULT CReadOnlyFileView::QuerySize(std::uint64_t& size) {
  LARGE_INTEGER value{};
  if (!::GetFileSizeEx(impl_->file, &value)) {
    return LastError();
  }
  size = static_cast<std::uint64_t>(value.QuadPart);
  return S_OK;
}

HRESULT CReadOnlyFileView::MapView() {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(impl_->file, &info)) {
    return LastError();
  }
  if (info.nFileSizeHigh == 0 && info.nFileSizeLow == 0) {
    return kHrFileChanged;  // as the system refuses to map an empty file
  }
  impl_->identity = info;
  impl_->window.assign(kWindowSize, 0);
  impl_->window_length = 0;
  impl_->mapped = true;
  return S_OK;
}

HRESULT CReadOnlyFileView::CopyOut(std::uint64_t offset, std::span<std::uint8_t> dest) {
  if (!impl_->mapped) {
    return HresultFromError(kErrorInvalidHandle);
  }
  const bool inside = offset >= impl_->window_offset &&
                      offset + dest.size() <= impl_->window_offset + impl_->window_length;
  if (!inside) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!::ReadFile(impl_->file, impl_->window.data(), static_cast<DWORD>(impl_->window.size()),
                    &got, &at) &&
        ::GetLastError() != ERROR_HANDLE_EOF) {
      impl_->window_length = 0;
      return LastError();
    }
    impl_->window_offset = offset;
    impl_->window_length = got;
    if (impl_->window_length < dest.size()) {
      return kHrFileChanged;  // the file ends before its size said it would
    }
  }
  std::memcpy(dest.data(), impl_->window.data() + (offset - impl_->window_offset), dest.size());
  return S_OK;
}

HRESULT CReadOnlyFileView::CheckUnchanged() {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(impl_->file, &info)) {
    return LastError();
  }
  return SameFile(info, impl_->identity) ? S_OK : kHrFileChanged;
}

void CReadOnlyFileView::Close() {
  if (impl_->file != INVALID_HANDLE_VALUE) {
    ::CloseHandle(impl_->file);
  }
  impl_->file = INVALID_HANDLE_VALUE;
  impl_->mapped = false;
  impl_->window.clear();
  impl_->window.shrink_to_fit();
  impl_->window_offset = 0;
  impl_->window_length = 0;
}

bool CReadOnlyFileView::IsOpen() const {
  return impl_->file != INVALID_HANDLE_VALUE;
}

}  // namespace hx
