#include "console/read_stdin_line.h"

#include "console/console_io.h"

namespace hx {

HRESULT ReadStdinLine(std::span<char> buffer) {
  constexpr std::size_t kMaxCapacity = 0x7FFFFFFF;
  if (buffer.size() > kMaxCapacity) {
    return E_INVALIDARG;
  }
  if (buffer.size() <= 1) {
    if (buffer.size() == 1) {
      buffer[0] = '\0';
    }
    return kHrInsufficientBuffer;
  }
  std::size_t stored = 0;
  bool ended = false;
  // Checking for room before reading leaves the rest of a long line unread.
  while (stored < buffer.size() - 1) {
    const int ch = Console().ReadChar();
    if (ch < 0) {
      ended = true;
      break;
    }
    if (ch == '\n') {
      break;
    }
    buffer[stored++] = static_cast<char>(ch);
  }
  buffer[stored] = '\0';
  return ended && stored == 0 ? kHrEndOfFile : S_OK;
}

}  // namespace hx
