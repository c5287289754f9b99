// Windows names its capture devices by path, not by a node in /dev: a node given in
// HX7300_DEVICE selects nothing there, a part of the path does.
#include "device/backends.h"
#include "device/windows/kernel_streaming_channel.h"
#include "platform/locale_text.h"

namespace hx {

std::unique_ptr<XuChannel> MakePlatformNodeChannel(const std::string&) {
  return nullptr;
}

std::unique_ptr<XuChannel> MakePlatformPathChannel(const std::string& text) {
  return MakeKernelStreamingChannel(ks::SystemComEntryPoints(), platform::WidenLocaleText(text));
}

}  // namespace hx
