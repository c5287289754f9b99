// The view is read at explicit offsets rather than mapped: a mapped view of a file that
// another program truncates, or whose pages cannot be read in (a share or medium that went
// away), faults at the next access and ends the process, while a read simply fails or comes
// back short. A fixed window keeps the reads few without holding more of the file than one
// window; reading costs nothing measurable beside the device's control transfers (see the
// benchmark in docs/testing.md).
#include "platform/file_view.h"

#include <cstring>
#include <vector>

#include "platform/file_handle.h"
#include "platform/file_view_system.h"

namespace hx {
namespace {

constexpr std::size_t kWindowSize = std::size_t{64} * 1024;

}  // namespace

struct CReadOnlyFileView::Impl {
  std::intptr_t file = -1;
  bool mapped = false;
  platform::FileIdentity identity;
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
  std::intptr_t file = -1;
  if (const HRESULT hr = platform::OpenFileToView(path, file); FAILED(hr)) {
    return hr;
  }
  if (const HRESULT hr = platform::IdentifyFile(file, impl_->identity); FAILED(hr)) {
    platform::CloseFile(file);
    return hr;
  }
  impl_->file = file;
  return S_OK;
}

HRESULT CReadOnlyFileView::QuerySize(std::uint64_t& size) {
  return platform::FileSize(impl_->file, size);
}

HRESULT CReadOnlyFileView::MapView() {
  platform::FileIdentity identity;
  if (const HRESULT hr = platform::IdentifyFile(impl_->file, identity); FAILED(hr)) {
    return hr;
  }
  if (identity.size == 0) {
    return kHrFileChanged;  // as the system refuses to map an empty file
  }
  impl_->identity = identity;
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
    // What a failed read leaves in the window is not the file's.
    impl_->window_length = 0;
    std::size_t got = 0;
    if (const HRESULT hr = platform::ReadFileAt(impl_->file, offset, impl_->window, got);
        FAILED(hr)) {
      return hr;
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
  platform::FileIdentity identity;
  if (const HRESULT hr = platform::IdentifyFile(impl_->file, identity); FAILED(hr)) {
    return hr;
  }
  return identity == impl_->identity ? S_OK : kHrFileChanged;
}

void CReadOnlyFileView::Close() {
  if (impl_->file >= 0) {
    platform::CloseFile(impl_->file);
  }
  impl_->file = -1;
  impl_->mapped = false;
  impl_->window.clear();
  impl_->window.shrink_to_fit();
  impl_->window_offset = 0;
  impl_->window_length = 0;
}

bool CReadOnlyFileView::IsOpen() const {
  return impl_->file >= 0;
}

}  // namespace hx
