#include "app/mode_dispatch.h"

#include <array>
#include <string_view>

#include "app/option_token.h"

namespace hx {
namespace {

using OptionParser = HRESULT (*)(ArgumentVector arguments, ModeOptions& options,
                                 CommandLineRefusal& refusal);

struct ModeEntry {
  std::wstring_view keyword;
  std::int32_t mode_code;
  OptionParser parse;
  UsageScreen screen;
};

constexpr std::array<ModeEntry, 5> kModeTable = {{
    {L"img", kModeImage, ParseImageOptions, UsageScreen::kImage},
    {L"diag", kModeDiag, ParseDiagOptions, UsageScreen::kDiag},
    {L"netimg", kModeNetImage, ParseNetImageOptions, UsageScreen::kNetImage},
    {L"cfg", kModeConfig, ParseConfigOptions, UsageScreen::kConfig},
    {L"daa", kModeDaa, ParseDaaOptions, UsageScreen::kDaa},
}};

constexpr std::wstring_view kModePrefix = L"-m:";

const ModeEntry* FindMode(std::wstring_view keyword) {
  for (const ModeEntry& entry : kModeTable) {
    if (EqualsIgnoreCase(keyword, entry.keyword)) {
      return &entry;
    }
  }
  return nullptr;
}

std::wstring_view TextOf(const wchar_t* argument) {
  return argument != nullptr ? std::wstring_view(argument) : std::wstring_view();
}

}  // namespace

std::wstring_view ModeKeyword(std::int32_t mode_code) {
  if (IsConfigMode(mode_code)) {
    mode_code = kModeConfig;
  }
  for (const ModeEntry& entry : kModeTable) {
    if (entry.mode_code == mode_code) {
      return entry.keyword;
    }
  }
  return {};
}

const wchar_t* ProgramName(ArgumentVector arguments) {
  return arguments.empty() || arguments[0] == nullptr ? L"" : arguments[0];
}

HRESULT ParseModeArguments(ArgumentVector arguments, ModeOptions& options, UsageSink show_usage,
                           CommandLineRefusal& refusal) {
  if (arguments.size() < 2) {
    return refusal.Refuse({}, L"the mode is missing (-m:<mode>)");
  }
  const std::wstring_view mode_argument = TextOf(arguments[1]);
  if (!mode_argument.starts_with(kModePrefix)) {
    return refusal.Refuse(mode_argument, L"the first argument must be the mode, -m:<mode>");
  }
  const ModeEntry* mode = FindMode(mode_argument.substr(kModePrefix.size()));
  options.ModeCode = mode != nullptr ? mode->mode_code : kModeNone;
  if (mode == nullptr) {
    return refusal.Refuse(mode_argument,
                          L"unknown mode; the modes are img, diag, netimg, cfg and daa");
  }
  // Only the second argument is looked at for "-help"; further back it is an ordinary token.
  if (arguments.size() > 2 && EqualsIgnoreCase(TextOf(arguments[2]), L"-help")) {
    show_usage(mode->screen, ProgramName(arguments));
    return S_FALSE;
  }
  return mode->parse(arguments, options, refusal);
}

}  // namespace hx
