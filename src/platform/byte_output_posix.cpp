#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cwchar>

#include "platform/byte_output.h"
#include "platform/system_error.h"

namespace hx::platform {

std::string NarrowWithLocale(std::wstring_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  std::mbstate_t state{};
  char encoded[MB_LEN_MAX];
  for (wchar_t ch : text) {
    const std::size_t used = std::wcrtomb(encoded, ch, &state);
    if (used == static_cast<std::size_t>(-1)) {
      bytes.push_back('?');
      state = std::mbstate_t{};
      continue;
    }
    bytes.append(encoded, used);
  }
  return bytes;
}

HRESULT WriteAllToDescriptor(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return HresultFromErrno(errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return S_OK;
}

}  // namespace hx::platform
