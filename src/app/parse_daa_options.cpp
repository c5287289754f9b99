#include "app/option_parsers.h"
#include "app/option_token.h"

namespace hx {
namespace {

constexpr std::uint8_t kDaaNotRequested = 0xFF;
constexpr std::uint8_t kDaaReadSettings = 1;

}  // namespace

HRESULT ParseDaaOptions(ArgumentVector arguments, ModeOptions& options) {
  if (options.ModeCode != kModeDaa) {
    return E_INVALIDARG;
  }
  DaaOptions& daa = options.Daa;
  daa.DaaRequest = kDaaNotRequested;
  // Anything may follow the letter, but only one request is taken.
  const bool tokens_accepted = EveryOptionToken(arguments, [&daa](const OptionToken& token) {
    if (token.Letter() != L'r' || daa.DaaRequest != kDaaNotRequested) {
      return false;
    }
    daa.DaaRequest = kDaaReadSettings;
    return true;
  });
  return tokens_accepted && daa.DaaRequest == kDaaReadSettings ? S_OK : E_INVALIDARG;
}

}  // namespace hx
