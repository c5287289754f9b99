#include <cerrno>

#include "platform/system_error.h"

namespace hx::platform {
namespace {

constexpr std::uint32_t kErrorTooManyOpenFiles = 4;
constexpr std::uint32_t kErrorWriteProtect = 19;
constexpr std::uint32_t kErrorGenFailure = 31;
constexpr std::uint32_t kErrorDiskFull = 112;
constexpr std::uint32_t kErrorNoData = 232;

struct ErrnoTranslation {
  int errno_value;
  std::uint32_t win32_error;
};

constexpr ErrnoTranslation kTranslations[] = {
    {ENOENT, kErrorFileNotFound},
    {ENOTDIR, kErrorPathNotFound},
    {EACCES, kErrorAccessDenied},
    {EPERM, kErrorAccessDenied},
    {EISDIR, kErrorAccessDenied},
    {EBADF, kErrorInvalidHandle},
    {ENOTTY, kErrorInvalidHandle},
    {ENOMEM, kErrorOutOfMemory},
    {EEXIST, kErrorAlreadyExists},
    {EINVAL, kErrorInvalidParameter},
    {EIO, kErrorIoDevice},
    {ENODEV, kErrorDeviceNotConnected},
    {ENXIO, kErrorDeviceNotConnected},
    {ECONNREFUSED, kErrorDeviceNotConnected},
    {EPIPE, kErrorNoData},  // what Windows gives a write to a pipe whose reader has gone
    {ECONNRESET, kErrorDeviceNotConnected},
    {ETIMEDOUT, kErrorTimeout},
    {EFBIG, kErrorFileTooLarge},
    {ENOSPC, kErrorDiskFull},
    {EBUSY, kErrorBusy},
    {EROFS, kErrorWriteProtect},
    {ENAMETOOLONG, kErrorFilenameTooLong},
    {ELOOP, kErrorCannotResolveFilename},
    {EMFILE, kErrorTooManyOpenFiles},
    {ENFILE, kErrorTooManyOpenFiles},
};

}  // namespace

std::uint32_t Win32ErrorFromErrno(int e) {
  for (const ErrnoTranslation& translation : kTranslations) {
    if (translation.errno_value == e) {
      return translation.win32_error;
    }
  }
  return kErrorGenFailure;
}

HRESULT HresultFromErrno(int e) {
  return HresultFromError(Win32ErrorFromErrno(e));
}

}  // namespace hx::platform
