#include "app/command_line_refusal.h"
#include "app/option_parsers.h"
#include "app/option_token.h"

namespace hx {
namespace {

constexpr std::uint8_t kDaaNotRequested = 0xFF;
constexpr std::uint8_t kDaaReadSettings = 1;

}  // namespace

HRESULT ParseDaaOptions(ArgumentVector arguments, ModeOptions& options,
                        CommandLineRefusal& refusal) {
  if (options.ModeCode != kModeDaa) {
    return E_INVALIDARG;
  }
  DaaOptions& daa = options.Daa;
  daa.DaaRequest = kDaaNotRequested;
  // Anything may follow the letter, but only one request is taken.
  const bool tokens_accepted = EveryOptionToken(arguments, [&](const OptionToken& token) {
    if (token.Letter() != L'r') {
      return SUCCEEDED(refusal.RefuseUnknown(token));
    }
    if (daa.DaaRequest != kDaaNotRequested) {
      return SUCCEEDED(refusal.Refuse(token.Text(), L"the settings are read once per run"));
    }
    daa.DaaRequest = kDaaReadSettings;
    return true;
  });
  if (!tokens_accepted) {
    return E_INVALIDARG;
  }
  if (daa.DaaRequest != kDaaReadSettings) {
    return refusal.Refuse({}, L"the read request is missing (-r)");
  }
  return S_OK;
}

}  // namespace hx
