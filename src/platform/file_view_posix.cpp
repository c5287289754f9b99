// The view is read with positioned reads rather than mapped: a mapping of a file that another
// program truncates turns the next access into SIGBUS, while a read simply comes back short.
// A fixed window keeps the reads few without holding more of the file than one window.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_view.h"
#include "platform/locale_text.h"
#include "platform/system_error.h"

namespace hx {
namespace {

constexpr std::size_t kWindowSize = std::size_t{64} * 1024;

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

}  // namespace

struct CReadOnlyFileView::Impl {
  int fd = -1;
  bool mapped = false;
  struct stat identity {};
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
  const std::optional<std::string> narrow =
      path != nullptr ? platform::NarrowLocaleText(path) : std::nullopt;
  if (!narrow) {
    return HresultFromError(kErrorInvalidParameter);
  }
  const int fd = ::open(narrow->c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return platform::HresultFromErrno(errno);
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    ::close(fd);
    return platform::HresultFromErrno(error);
  }
  if (S_ISDIR(info.st_mode)) {
    ::close(fd);
    return HresultFromError(kErrorAccessDenied);
  }
  impl_->fd = fd;
  impl_->identity = info;
  return S_OK;
}

HRESULT CReadOnlyFileView::QuerySize(std::uint64_t& size) {
  struct stat info {};
  if (::fstat(impl_->fd, &info) != 0) {
    return platform::HresultFromErrno(errno);
  }
  size = static_cast<std::uint64_t>(info.st_size);
  return S_OK;
}

HRESULT CReadOnlyFileView::MapView() {
  struct stat info {};
  if (::fstat(impl_->fd, &info) != 0) {
    return platform::HresultFromErrno(errno);
  }
  if (info.st_size == 0) {
    return kHrFileChanged;  // as a mapping of an empty file is refused
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
    ssize_t got = 0;
    do {
      got = ::pread(impl_->fd, impl_->window.data(), impl_->window.size(),
                    static_cast<off_t>(offset));
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
      return platform::HresultFromErrno(errno);
    }
    impl_->window_offset = offset;
    impl_->window_length = static_cast<std::size_t>(got);
    if (impl_->window_length < dest.size()) {
      return kHrFileChanged;  // the file ends before its size said it would
    }
  }
  std::memcpy(dest.data(), impl_->window.data() + (offset - impl_->window_offset), dest.size());
  return S_OK;
}

HRESULT CReadOnlyFileView::CheckUnchanged() {
  struct stat info {};
  if (::fstat(impl_->fd, &info) != 0) {
    return platform::HresultFromErrno(errno);
  }
  return SameFile(info, impl_->identity) ? S_OK : kHrFileChanged;
}

void CReadOnlyFileView::Close() {
  if (impl_->fd >= 0) {
    ::close(impl_->fd);
  }
  impl_->fd = -1;
  impl_->mapped = false;
  impl_->window.clear();
  impl_->window.shrink_to_fit();
  impl_->window_offset = 0;
  impl_->window_length = 0;
}

bool CReadOnlyFileView::IsOpen() const {
  return impl_->fd >= 0;
}

}  // namespace hx
