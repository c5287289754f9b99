// The state directory on POSIX: one descriptor of the directory, and every file reached with
// the *at calls relative to it, so that a directory renamed or a name swapped for a link
// meanwhile cannot redirect a write elsewhere.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/state_directory.h"
#include "platform/system_error.h"

namespace hx {
namespace {

constexpr mode_t kOwnerOnlyDirectory = 0700;
constexpr mode_t kOwnerOnlyFile = 0600;

int Fd(std::intptr_t handle) {
  return static_cast<int>(handle);
}

HRESULT LastError() {
  return platform::HresultFromErrno(errno);
}

// mkdir -p, each directory made for the owner alone.
bool MakeDirectories(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash);
    if (!prefix.empty() && ::mkdir(prefix.c_str(), kOwnerOnlyDirectory) != 0 && errno != EEXIST) {
      return false;
    }
    if (slash == std::string::npos) {
      return true;
    }
  }
}

}  // namespace

HRESULT CStateDirectory::Open(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT && MakeDirectories(path)) {
    fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  if (fd < 0) {
    return errno == ENOTDIR ? kHrNotADirectory : LastError();
  }
  if (handle_ >= 0) {
    ::close(Fd(handle_));
  }
  handle_ = fd;
  return S_OK;
}

CStateDirectory::EntryKind CStateDirectory::Inspect(std::string_view name) const {
  struct stat info {};
  if (::fstatat(Fd(handle_), std::string(name).c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    return EntryKind::kAbsent;
  }
  if (S_ISREG(info.st_mode)) {
    return EntryKind::kFile;
  }
  if (S_ISDIR(info.st_mode)) {
    return EntryKind::kDirectory;
  }
  return S_ISLNK(info.st_mode) ? EntryKind::kLink : EntryKind::kOther;
}

HRESULT CStateDirectory::OpenForReading(std::string_view name, CStateFileReader& reader) const {
  reader.Close();
  // Non-blocking, in case the name is a FIFO: it is refused below rather than waited on.
  const int fd = ::openat(Fd(handle_), std::string(name).c_str(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return LastError();
  }
  struct stat info {};
  const HRESULT hr = ::fstat(fd, &info) != 0 ? LastError()
                     : S_ISREG(info.st_mode) ? S_OK
                                             : HresultFromError(kErrorNotSupported);
  if (FAILED(hr)) {
    ::close(fd);
    return hr;
  }
  reader.handle_ = fd;
  return S_OK;
}

HRESULT CStateDirectory::Create(std::string_view name, CStateFile& file) {
  file.Close();
  const std::string entry(name);
  // Whatever stands under the name goes first, a link included (unlinkat never follows one);
  // O_EXCL then fails rather than write through anything put there meanwhile.
  if (::unlinkat(Fd(handle_), entry.c_str(), 0) != 0 && errno != ENOENT) {
    return LastError();
  }
  const int fd = ::openat(Fd(handle_), entry.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kOwnerOnlyFile);
  if (fd < 0) {
    return LastError();
  }
  file.handle_ = fd;
  return S_OK;
}

HRESULT CStateDirectory::Replace(std::string_view from, std::string_view to) {
  if (::renameat(Fd(handle_), std::string(from).c_str(), Fd(handle_), std::string(to).c_str()) !=
      0) {
    return LastError();
  }
  return S_OK;
}

HRESULT CStateDirectory::Remove(std::string_view name) {
  if (::unlinkat(Fd(handle_), std::string(name).c_str(), 0) != 0 && errno != ENOENT) {
    return LastError();
  }
  return S_OK;
}

HRESULT CStateDirectory::Sync() {
  return ::fsync(Fd(handle_)) == 0 ? S_OK : LastError();
}

}  // namespace hx
