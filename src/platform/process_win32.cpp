#include <objbase.h>
#include <windows.h>

#include "platform/process.h"

namespace hx::platform {

void PrepareProcess() {
  // Single-threaded apartment; it stays initialised until the process ends.
  ::CoInitialize(nullptr);
}

}  // namespace hx::platform
