#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/byte_output.h"
#include "platform/debug_output.h"

namespace hx::platform {

void WriteDebugLine(std::wstring_view line) {
  const char* const target = std::getenv("HX7300_DEBUG_OUTPUT");
  if (target == nullptr || *target == '\0') {
    return;
  }
  std::string bytes = NarrowWithLocale(line);
  if (bytes.empty() || bytes.back() != '\n') {
    bytes.push_back('\n');
  }
  if (std::string_view(target) == "stderr") {
    WriteAllToDescriptor(STDERR_FILENO, bytes);
    return;
  }
  // Opened per line so that every report lands even if the process ends abruptly; a debugger
  // channel that cannot be written has no failure of its own to report.
  const int descriptor = ::open(target, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (descriptor < 0) {
    return;
  }
  WriteAllToDescriptor(descriptor, bytes);
  ::close(descriptor);
}

}  // namespace hx::platform
