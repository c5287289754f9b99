#include "platform/exit_status.h"

namespace hx::platform {

// Only 8 bits of an exit status survive on POSIX.
int ProcessExitStatus(HRESULT result) {
  return ExitStatusFor(result);
}

}  // namespace hx::platform
