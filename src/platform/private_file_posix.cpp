#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/locale_text.h"
#include "platform/private_file_system.h"
#include "platform/system_error.h"

namespace hx::platform {
namespace {

constexpr mode_t kOthersBits = 077;

// Why a file of this owner and mode is not private to the user running the program; empty
// when it is.
std::string NotPrivate(const struct stat& info) {
  if (info.st_uid != ::geteuid() && info.st_uid != 0) {
    return "it belongs to another user";
  }
  if ((info.st_mode & kOthersBits) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return std::string("its permissions ") + mode +
           " let others than its owner in; make it its owner's alone (chmod 600)";
  }
  return {};
}

}  // namespace

HRESULT OpenPrivateFile(const std::wstring& path, std::intptr_t& file, std::string& problem) {
  const std::optional<std::string> name = NarrowLocaleText(path);
  if (!name) {
    problem = "its name cannot be given to the system";
    return E_INVALIDARG;
  }
  // Non-blocking, so that a FIFO is refused below rather than waited on.
  const int fd = ::open(name->c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return HresultFromErrno(errno);
  }
  struct stat info {};
  HRESULT hr = S_OK;
  if (::fstat(fd, &info) != 0) {
    hr = HresultFromErrno(errno);
  } else if (!S_ISREG(info.st_mode)) {
    problem = "it is not a regular file";
    hr = HresultFromError(kErrorNotSupported);
  } else if (problem = NotPrivate(info); !problem.empty()) {
    hr = HresultFromError(kErrorAccessDenied);
  }
  if (FAILED(hr)) {
    ::close(fd);
    return hr;
  }
  file = fd;
  return S_OK;
}

}  // namespace hx::platform
