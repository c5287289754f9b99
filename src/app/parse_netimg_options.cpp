#include <memory>
#include <optional>
#include <string>

#include "app/option_parsers.h"
#include "app/option_token.h"
#include "console/wide_to_ansi.h"

namespace hx {
namespace {

constexpr std::uint16_t kDefaultServerPort = 80;
constexpr std::int32_t kMaxServerPort = 65535;

/// The ANSI form of a value; absent when it cannot be converted, so that the field it
/// replaces reads as not given.
std::optional<std::string> AnsiText(const wchar_t* value) {
  const std::unique_ptr<char[]> text = WideToAnsi(value);
  if (text == nullptr) {
    return std::nullopt;
  }
  return std::string(text.get());
}

bool ApplyServerPort(const wchar_t* value, NetImageOptions& netimg) {
  const std::optional<std::int32_t> port = ParseNumber(value);
  if (!port.has_value() || *port < 1 || *port > kMaxServerPort) {
    return false;
  }
  netimg.ServerPort = static_cast<std::uint16_t>(*port);
  return true;
}

bool ApplyNetImageToken(const OptionToken& token, NetImageOptions& netimg) {
  if (!token.HasValue()) {
    return false;
  }
  switch (token.Letter()) {
    case L'p':
      return ApplyServerPort(token.Value(), netimg);
    case L's':
      netimg.ServerName = AnsiText(token.Value());
      return true;
    case L'u':
      netimg.UpdateUrl = AnsiText(token.Value());
      return true;
    default:
      return false;
  }
}

}  // namespace

HRESULT ParseNetImageOptions(ArgumentVector arguments, ModeOptions& options) {
  if (options.ModeCode != kModeNetImage) {
    return E_INVALIDARG;
  }
  NetImageOptions& netimg = options.NetImage;
  netimg.ServerName.reset();
  netimg.UpdateUrl.reset();
  netimg.ServerPort = kDefaultServerPort;
  const bool tokens_accepted = EveryOptionToken(
      arguments, [&netimg](const OptionToken& token) { return ApplyNetImageToken(token, netimg); });
  const bool complete =
      tokens_accepted && netimg.ServerName.has_value() && netimg.UpdateUrl.has_value();
  return complete ? S_OK : E_INVALIDARG;
}

}  // namespace hx
