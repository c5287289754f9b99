#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/system_error.h"
#include "platform/temporary_directory.h"

namespace hx {

HRESULT CTemporaryDirectory::Create(const std::string& prefix) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" + prefix + "XXXXXX";
  // mkdtemp makes the directory 0700, under a name no one had.
  if (::mkdtemp(pattern.data()) == nullptr) {
    return platform::HresultFromErrno(errno);
  }
  path_ = pattern;
  return S_OK;
}

CTemporaryDirectory::~CTemporaryDirectory() {
  if (path_.empty()) {
    return;
  }
  const int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  DIR* entries = fd >= 0 ? ::fdopendir(fd) : nullptr;
  if (entries == nullptr && fd >= 0) {
    ::close(fd);
  }
  while (entries != nullptr) {
    const dirent* entry = ::readdir(entries);
    if (entry == nullptr) {
      ::closedir(entries);
      break;
    }
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
      ::unlinkat(fd, entry->d_name, 0);
    }
  }
  ::rmdir(path_.c_str());
}

}  // namespace hx
