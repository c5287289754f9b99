#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/append_file.h"
#include "platform/byte_output.h"
#include "platform/locale_text.h"
#include "platform/system_error.h"

namespace hx::platform {

CAppendFile::~CAppendFile() {
  if (handle_ >= 0) {
    ::close(static_cast<int>(handle_));
  }
}

HRESULT CAppendFile::Open(const std::wstring& path, Start start) {
  const std::optional<std::string> name = NarrowLocaleText(path);
  if (!name) {
    return E_INVALIDARG;
  }
  const int emptied = start == Start::kEmpty ? O_TRUNC : 0;
  const int fd =
      ::open(name->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOCTTY | O_CLOEXEC | emptied, 0600);
  if (fd < 0) {
    return HresultFromErrno(errno);
  }
  handle_ = fd;
  return S_OK;
}

HRESULT CAppendFile::Append(std::string_view bytes) {
  return WriteAllToDescriptor(static_cast<int>(handle_), bytes);
}

}  // namespace hx::platform
