// What the read-only file view opens on POSIX.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "platform/debug_output.h"
#include "platform/file_view_system.h"
#include "platform/locale_text.h"
#include "platform/system_error.h"

namespace hx::platform {
namespace {

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
  WriteDebugLine(std::wstring(L"CReadOnlyFileView::Open: ") + path + L" is " + KindOf(mode));
  return HresultFromError(S_ISDIR(mode) ? kErrorAccessDenied : kErrorNotSupported);
}

}  // namespace

HRESULT OpenFileToView(const wchar_t* path, std::intptr_t& file) {
  const std::optional<std::string> narrow = path != nullptr ? NarrowLocaleText(path) : std::nullopt;
  if (!narrow) {
    return HresultFromError(kErrorInvalidParameter);
  }
  struct stat info {};
  if (::stat(narrow->c_str(), &info) != 0) {
    return HresultFromErrno(errno);
  }
  if (const HRESULT hr = RefuseUnlessRegular(path, info.st_mode); FAILED(hr)) {
    return hr;
  }
  // Non-blocking and never a controlling terminal, in case the name now leads elsewhere; a
  // regular file's reads do not heed O_NONBLOCK.
  const int fd = ::open(narrow->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    return HresultFromErrno(errno);
  }
  const HRESULT hr =
      ::fstat(fd, &info) == 0 ? RefuseUnlessRegular(path, info.st_mode) : HresultFromErrno(errno);
  if (FAILED(hr)) {
    ::close(fd);
    return hr;
  }
  file = fd;
  return S_OK;
}

}  // namespace hx::platform
