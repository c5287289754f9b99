#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/locale_text.h"
#include "platform/private_file.h"
#include "platform/system_error.h"

namespace hx::platform {
namespace {

constexpr mode_t kOthersBits = 077;

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

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

HRESULT ReadPrivateFile(const std::wstring& path, std::span<char> buffer, std::size_t& size,
                        std::string& problem) {
  size = 0;
  const std::optional<std::string> name = NarrowLocaleText(path);
  if (!name) {
    problem = "its name cannot be given to the system";
    return E_INVALIDARG;
  }
  // Non-blocking, so that a FIFO is refused below rather than waited on.
  const Descriptor file(::open(name->c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.Get() < 0) {
    return HresultFromErrno(errno);
  }
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) {
    return HresultFromErrno(errno);
  }
  if (!S_ISREG(info.st_mode)) {
    problem = "it is not a regular file";
    return HresultFromError(kErrorNotSupported);
  }
  problem = NotPrivate(info);
  if (!problem.empty()) {
    return HresultFromError(kErrorAccessDenied);
  }
  for (;;) {
    const ssize_t got = ::read(file.Get(), buffer.data() + size, buffer.size() - size);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      return HresultFromErrno(errno);
    }
    if (got == 0) {
      return S_OK;
    }
    size += static_cast<std::size_t>(got);
    if (size == buffer.size()) {
      char beyond = 0;
      if (::read(file.Get(), &beyond, 1) != 0) {
        problem = "it is larger than a passcode file can be";
        return kHrInsufficientBuffer;
      }
      return S_OK;
    }
  }
}

}  // namespace hx::platform
