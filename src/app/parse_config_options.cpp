#include <span>
#include <string>

#include "app/command_line_refusal.h"
#include "app/option_parsers.h"
#include "app/option_token.h"
#include "app/time/device_time.h"
#include "console/bounded_text.h"

namespace hx {
namespace {

constexpr std::int32_t kCfgIndexByName = -1;

/// What is wrong with a "-t:" value, by the failure of the time resolution.
std::wstring TimeProblem(bool zone_resolved, HRESULT hr) {
  if (!zone_resolved) {
    return hr == E_INVALIDARG ? L"the PC's time zone has no HX7300 zone index"
                              : L"the PC's time zone cannot be read";
  }
  if (hr == kHrTimeFieldTooLarge) {
    return L"a field of the date or time is larger than 65535";
  }
  if (hr == E_INVALIDARG) {
    return L"the time must be now, <YYYY-MM-DD>L<hh:mm:ss> (local) or <YYYY-MM-DD>U<hh:mm:ss> "
           L"(UTC)";
  }
  return L"not a date and time that the PC's time zone can convert";
}

HRESULT ApplySetTime(const OptionToken& token, ConfigOptions& cfg, CommandLineRefusal& refusal) {
  cfg.CfgCommand = kCfgSetTime;
  HRESULT hr = ResolveZoneIndex(cfg.CfgIndex);
  const bool zone_resolved = SUCCEEDED(hr);
  if (zone_resolved) {
    hr = ResolveDeviceTime(token.Value(), cfg.UtcTime, cfg.LocalTime);
  }
  if (FAILED(hr)) {
    // The time resolution's own failure is the parser's result.
    refusal.Refuse(token.Text(), TimeProblem(zone_resolved, hr));
  }
  return hr;
}

/// The value-carrying actions: "-f:", "-q:" and "-t:".
HRESULT ApplyAction(const OptionToken& token, ConfigOptions& cfg, CommandLineRefusal& refusal) {
  const wchar_t letter = token.Letter();
  if (letter != L'f' && letter != L'q' && letter != L't') {
    return refusal.RefuseUnknown(token);
  }
  if (!token.HasValue()) {
    return refusal.RefuseWithoutValue(token);
  }
  switch (letter) {
    case L'f':
      cfg.CfgIndex = kCfgIndexByName;
      cfg.CfgCommand = kCfgUploadFile;
      // A longer name is cut to the field without complaint.
      CopyBoundedW(std::span(cfg.UploadFileName), token.Value());
      return S_OK;
    case L'q':
      if (!EqualsIgnoreCase(token.ValueView(), L"cfgparseresult")) {
        return refusal.Refuse(token.Text(), L"the only query is -q:cfgparseresult");
      }
      cfg.CfgCommand = kCfgParseResult;
      return S_OK;
    default:
      return ApplySetTime(token, cfg, refusal);
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

HRESULT ParseConfigOptions(ArgumentVector arguments, ModeOptions& options,
                           CommandLineRefusal& refusal) {
  if (options.ModeCode != kModeConfig) {
    return E_INVALIDARG;
  }
  options.Config.CfgCommand = 0;
  for (std::size_t i = kFirstOptionIndex; i < arguments.size(); ++i) {
    const OptionToken token(arguments[i]);
    if (options.Config.CfgCommand != 0) {
      return refusal.Refuse(token.Text(), L"a run does one action, and one was given before");
    }
    // Reboot and passcode change accept at once; later tokens are not looked at.
    if (token.Letter() == L'p' || token.Letter() == L'r') {
      options.ModeCode = EndingModeCode(token);
      return S_OK;
    }
    const HRESULT hr = ApplyAction(token, options.Config, refusal);
    if (FAILED(hr)) {
      return hr;
    }
  }
  if (options.Config.CfgCommand == 0) {
    return refusal.Refuse(
        {}, L"the action is missing (-t:<time>, -r, -rm, -p, -q:cfgparseresult or -f:<file>)");
  }
  return S_OK;
}

}  // namespace hx
