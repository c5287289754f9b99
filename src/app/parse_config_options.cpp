#include <span>

#include "app/option_parsers.h"
#include "app/option_token.h"
#include "app/time/device_time.h"
#include "console/bounded_text.h"

namespace hx {
namespace {

constexpr std::int32_t kCfgIndexByName = -1;

HRESULT ApplySetTime(const wchar_t* value, ConfigOptions& cfg) {
  cfg.CfgCommand = kCfgSetTime;
  const HRESULT hr = ResolveZoneIndex(cfg.CfgIndex);
  if (FAILED(hr)) {
    return hr;
  }
  return ResolveDeviceTime(value, cfg.UtcTime, cfg.LocalTime);
}

/// The value-carrying actions: "-f:", "-q:" and "-t:".
HRESULT ApplyAction(const OptionToken& token, ConfigOptions& cfg) {
  if (!token.HasValue()) {
    return E_INVALIDARG;
  }
  switch (token.Letter()) {
    case L'f':
      cfg.CfgIndex = kCfgIndexByName;
      cfg.CfgCommand = kCfgUploadFile;
      // A longer name is cut to the field without complaint.
      CopyBoundedW(std::span(cfg.UploadFileName), token.Value());
      return S_OK;
    case L'q':
      if (!EqualsIgnoreCase(token.ValueView(), L"cfgparseresult")) {
        return E_INVALIDARG;
      }
      cfg.CfgCommand = kCfgParseResult;
      return S_OK;
    case L't':
      return ApplySetTime(token.Value(), cfg);
    default:
      return E_INVALIDARG;
  }
}

/// The mode of a reboot ("-r", or "-rm" for the variant) or passcode change ("-p") token.
std::int32_t EndingModeCode(const OptionToken& token) {
  if (token.Letter() == L'p') {
    return kModeConfigPasscode;
  }
  return token.AfterLetter() == L'm' ? kModeConfigRebootVariant : kModeConfigReboot;
}

}  // namespace

HRESULT ParseConfigOptions(ArgumentVector arguments, ModeOptions& options) {
  if (options.ModeCode != kModeConfig) {
    return E_INVALIDARG;
  }
  options.Config.CfgCommand = 0;
  for (std::size_t i = kFirstOptionIndex; i < arguments.size(); ++i) {
    const OptionToken token(arguments[i]);
    if (options.Config.CfgCommand != 0) {
      return E_INVALIDARG;  // one action per run
    }
    // Reboot and passcode change accept at once; later tokens are not looked at.
    if (token.Letter() == L'p' || token.Letter() == L'r') {
      options.ModeCode = EndingModeCode(token);
      return S_OK;
    }
    const HRESULT hr = ApplyAction(token, options.Config);
    if (FAILED(hr)) {
      return hr;
    }
  }
  return options.Config.CfgCommand != 0 ? S_OK : E_INVALIDARG;
}

}  // namespace hx
