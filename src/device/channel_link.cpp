// SKELETON-STUB: replaced by the virtual device link.
#include "device/backends.h"

namespace hx {
std::unique_ptr<XuChannel> MakeLinkChannel(const LinkAddress&) {
  return MakePlatformChannel();
}
}  // namespace hx
