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

#include "platform/debug_output.h"
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

const wchar_t* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) {
    return L"a directory";
  }
  if (S_ISFIFO(mode)) {
    return L"a FIFO";
  }
  if (S_ISSOCK(mode)) {
    return L"a socket";
  }
  if (S_ISCHR(mode) || S_ISBLK(mode)) {
    return L"a device";
  }
  return L"not a regular file";
}

// Only a regular file can be viewed. Opening anything else can block (a FIFO without a
// writer) or act on a device, so the refusal comes before the open as well as after it.
HRESULT RefuseUnlessRegular(const wchar_t* path, mode_t mode) {
  if (S_ISREG(mode)) {
    return S_OK;
  }
  platform::WriteDebugLine(std::wstring(L"CReadOnlyFileView::Open: ") + path + L" is " +
                           KindOf(mode));
  return HresultFromError(S_ISDIR(mode) ? kErrorAccessDenied : kErrorNotSupported);
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
  struct stat info {};
  if (::stat(narrow->c_str(), &info) != 0) {
    return platform::HresultFromErrno(errno);
  }
  if (const HRESULT hr = RefuseUnlessRegular(path, info.st_mode); FAILED(hr)) {
    return hr;
  }
  // Non-blocking and never a controlling terminal, in case the name now leads elsewhere; a
  // regular file's reads do not heed O_NONBLOCK.
  const int fd = ::open(narrow->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    return platform::HresultFromErrno(errno);
  }
  const HRESULT hr = ::fstat(fd, &info) == 0 ? RefuseUnlessRegular(path, info.st_mode)
                                             : platform::HresultFromErrno(errno);
  if (FAILED(hr)) {
    ::close(fd);
    return hr;
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
