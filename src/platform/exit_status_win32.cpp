#include "platform/exit_status.h"

namespace hx::platform {

// Windows keeps the whole 32 bits: the exit status is the HRESULT itself.
int ProcessExitStatus(HRESULT result) {
  return static_cast<int>(result);
}

}  // namespace hx::platform
