#include <memory>
#include <optional>
#include <string>

#include "app/command_line_refusal.h"
#include "app/option_parsers.h"
#include "app/option_token.h"
#include "console/wide_to_ansi.h"
#include "protocol/net_image_steps.h"

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

/// One of the two texts, with the token that last gave it, for saying what is wrong with it.
struct TextOption {
  std::optional<std::string>& field;
  const wchar_t* what;     ///< "the server name"
  const wchar_t* missing;  ///< how it is given: "-s:<server>"
  std::wstring_view token{};
};

HRESULT ApplyServerPort(const OptionToken& token, NetImageOptions& netimg,
                        CommandLineRefusal& refusal) {
  const std::optional<std::int32_t> port = ParseNumber(token.Value());
  if (!port.has_value() || *port < 1 || *port > kMaxServerPort) {
    return refusal.Refuse(token.Text(), L"the port must be 1 to 65535");
  }
  netimg.ServerPort = static_cast<std::uint16_t>(*port);
  return S_OK;
}

HRESULT ApplyNetImageToken(const OptionToken& token, NetImageOptions& netimg, TextOption& server,
                           TextOption& url, CommandLineRefusal& refusal) {
  const wchar_t letter = token.Letter();
  if (letter != L'p' && letter != L's' && letter != L'u') {
    return refusal.RefuseUnknown(token);
  }
  if (!token.HasValue()) {
    return refusal.RefuseWithoutValue(token);
  }
  if (letter == L'p') {
    return ApplyServerPort(token, netimg, refusal);
  }
  TextOption& text = letter == L's' ? server : url;
  text.field = AnsiText(token.Value());
  text.token = token.Text();
  return S_OK;
}

// A longer text is refused rather than cut to fit: a cut host name can name another host,
// whose images the device would then flash.
HRESULT CheckText(const TextOption& text, CommandLineRefusal& refusal) {
  if (text.token.empty()) {
    return refusal.Refuse({}, std::wstring(text.what) + L" is missing (" + text.missing + L")");
  }
  if (!text.field.has_value()) {
    return refusal.Refuse(
        text.token,
        std::wstring(text.what) + L" has a character that the system's ANSI code page lacks");
  }
  if (text.field->size() > kNetImageMaxTextLength) {
    return refusal.Refuse(text.token, std::wstring(text.what) + L" is " +
                                          std::to_wstring(text.field->size()) +
                                          L" characters long; the device takes at most " +
                                          std::to_wstring(kNetImageMaxTextLength));
  }
  return S_OK;
}

}  // namespace

HRESULT ParseNetImageOptions(ArgumentVector arguments, ModeOptions& options,
                             CommandLineRefusal& refusal) {
  if (options.ModeCode != kModeNetImage) {
    return E_INVALIDARG;
  }
  NetImageOptions& netimg = options.NetImage;
  netimg.ServerName.reset();
  netimg.UpdateUrl.reset();
  netimg.ServerPort = kDefaultServerPort;
  TextOption server{netimg.ServerName, L"the server name", L"-s:<server>"};
  TextOption url{netimg.UpdateUrl, L"the URL", L"-u:<URL>"};
  const bool tokens_accepted = EveryOptionToken(arguments, [&](const OptionToken& token) {
    return SUCCEEDED(ApplyNetImageToken(token, netimg, server, url, refusal));
  });
  if (!tokens_accepted) {
    return E_INVALIDARG;
  }
  const HRESULT hr = CheckText(server, refusal);
  return FAILED(hr) ? hr : CheckText(url, refusal);
}

}  // namespace hx
