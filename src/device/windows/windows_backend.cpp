// Windows names its capture devices by path, not by a node in /dev: a node given in
// HX7300_DEVICE selects nothing there.
#include "device/backends.h"

namespace hx {

std::unique_ptr<XuChannel> MakePlatformNodeChannel(const std::string&) {
  return nullptr;
}

}  // namespace hx
