#include "device/device_selection.h"

#include <charconv>
#include <cstdlib>
#include <string>

#include "device/backends.h"

namespace hx {
namespace {

constexpr std::string_view kUnixPrefix = "unix:";
constexpr std::string_view kTcpPrefix = "tcp:";
constexpr std::string_view kNodePrefix = "/dev/";
constexpr std::string_view kPathPrefix = "path:";
constexpr std::string_view kReplayPrefix = "replay:";

bool ParseTcpAddress(std::string_view rest, LinkAddress& address) {
  const std::size_t colon = rest.rfind(':');
  if (colon == std::string_view::npos || colon == 0 || colon + 1 == rest.size()) {
    return false;
  }
  const std::string_view port_text = rest.substr(colon + 1);
  unsigned port = 0;
  const auto [end, error] = std::from_chars(port_text.data(), port_text.end(), port);
  if (error != std::errc() || end != port_text.end() || port == 0 || port > 65535) {
    return false;
  }
  address.kind = LinkAddress::Kind::kTcp;
  address.host = std::string(rest.substr(0, colon));
  address.port = static_cast<std::uint16_t>(port);
  return true;
}

}  // namespace

HRESULT MakeChannelFor(const char* device_variable, std::unique_ptr<XuChannel>& channel) {
  const std::string_view value = device_variable != nullptr ? device_variable : "";
  if (value.empty()) {
    channel = MakePlatformChannel();
    return S_OK;
  }
  if (value == "emulator") {
    channel = MakeEmulatorChannel();
    return S_OK;
  }
  LinkAddress address{};
  if (value.starts_with(kUnixPrefix) && value.size() > kUnixPrefix.size()) {
    address.kind = LinkAddress::Kind::kUnix;
    address.path = std::string(value.substr(kUnixPrefix.size()));
    channel = MakeLinkChannel(address);
    return S_OK;
  }
  if (value.starts_with(kTcpPrefix) && ParseTcpAddress(value.substr(kTcpPrefix.size()), address)) {
    channel = MakeLinkChannel(address);
    return S_OK;
  }
  if (value.starts_with(kNodePrefix) && value.size() > kNodePrefix.size()) {
    channel = MakePlatformNodeChannel(std::string(value));
    return channel ? S_OK : E_INVALIDARG;
  }
  if (value.starts_with(kPathPrefix) && value.size() > kPathPrefix.size()) {
    channel = MakePlatformPathChannel(std::string(value.substr(kPathPrefix.size())));
    return channel ? S_OK : E_INVALIDARG;
  }
  if (value.starts_with(kReplayPrefix) && value.size() > kReplayPrefix.size()) {
    channel = MakeReplayChannel(std::string(value.substr(kReplayPrefix.size())));
    return S_OK;
  }
  return E_INVALIDARG;
}

HRESULT MakeChannelFromEnvironment(std::unique_ptr<XuChannel>& channel) {
  return MakeChannelFor(std::getenv("HX7300_DEVICE"), channel);
}

}  // namespace hx
