// The platform's own discovery on Linux: the HX7300 through uvcvideo.
#include <cstdlib>
#include <string_view>

#include "device/backends.h"
#include "device/linux/uvc_channel.h"
#include "platform/debug_output.h"
#include "platform/locale_text.h"

namespace hx {
namespace {

std::unique_ptr<XuChannel> MakeUvcChannel(std::string node) {
  uvc::UvcChannelOptions options;
  options.node = std::move(node);
  const char* const polling = std::getenv("HX7300_LINUX_POLL");
  options.force_polling = polling != nullptr && std::string_view(polling) == "1";
  options.debug_line = [](const std::string& line) {
    platform::WriteDebugLine(platform::WidenLocaleText("hx7300: " + line));
  };
  return std::make_unique<uvc::UvcChannel>(uvc::SystemKernel(), std::move(options));
}

}  // namespace

std::unique_ptr<XuChannel> MakePlatformChannel() {
  return MakeUvcChannel({});
}

std::unique_ptr<XuChannel> MakePlatformNodeChannel(const std::string& path) {
  return MakeUvcChannel(path);
}

// Linux tells its HX7300s apart by their capture nodes, which select one already.
std::unique_ptr<XuChannel> MakePlatformPathChannel(const std::string&) {
  return nullptr;
}

}  // namespace hx
