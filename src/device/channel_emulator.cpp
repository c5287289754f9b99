// SKELETON-STUB: replaced by the in-process emulator backend.
#include "device/backends.h"

namespace hx {
std::unique_ptr<XuChannel> MakeEmulatorChannel() {
  return MakePlatformChannel();
}
}  // namespace hx
