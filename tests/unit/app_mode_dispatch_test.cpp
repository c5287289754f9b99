#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/mode_dispatch.h"
#include "support/command_line.h"

namespace hx {
namespace {

/// What the sink was asked to show during one ParseModeArguments call.
struct ShownScreen {
  UsageScreen screen;
  std::wstring program;
};
std::optional<ShownScreen> g_shown;

void RecordUsage(UsageScreen screen, const wchar_t* program_name) {
  g_shown = ShownScreen{screen, program_name};
}

struct Outcome {
  HRESULT hr;
  ModeOptions options;
  std::optional<ShownScreen> shown;
  CommandLineRefusal refusal;
};

Outcome SelectMode(std::vector<const wchar_t*> arguments) {
  g_shown.reset();
  Outcome outcome{E_FAIL, test::OptionsForMode(kModeNone), std::nullopt, {}};
  outcome.hr = ParseModeArguments(arguments, outcome.options, RecordUsage, outcome.refusal);
  outcome.shown = g_shown;
  return outcome;
}

TEST(ParseModeArguments, RefusesMissingOrMisshapenModeArgument) {
  for (const auto& arguments : {std::vector<const wchar_t*>{},
                                {L"hx7300"},
                                {L"hx7300", L"-M:img", L"-i:config", L"-f:a"},
                                {L"hx7300", L"-m", L"-help"},
                                {L"hx7300", L"-mimg", L"-help"},
                                {L"hx7300", L"m:img", L"-help"},
                                {L"hx7300", L"-m:", L"-help"},
                                {L"hx7300", L"-m:imgx", L"-help"},
                                {L"hx7300", L"-m: img", L"-help"}}) {
    const Outcome outcome = SelectMode(arguments);
    EXPECT_EQ(outcome.hr, E_INVALIDARG) << arguments.size();
    EXPECT_FALSE(outcome.shown.has_value()) << arguments.size();
  }
}

TEST(ParseModeArguments, UnknownKeywordSetsNoMode) {
  const Outcome outcome = SelectMode({L"hx7300", L"-m:upgrade"});
  EXPECT_EQ(outcome.hr, E_INVALIDARG);
  EXPECT_EQ(outcome.options.ModeCode, kModeNone);
}

TEST(ParseModeArguments, KeywordsInAnyCaseSelectTheirModeAndParser) {
  const struct {
    std::vector<const wchar_t*> arguments;
    std::int32_t mode;
  } cases[] = {
      {{L"hx", L"-m:IMG", L"-i:config", L"-f:a.xml"}, kModeImage},
      {{L"hx", L"-m:Diag", L"-l"}, kModeDiag},
      {{L"hx", L"-m:netIMG", L"-s:a", L"-u:b"}, kModeNetImage},
      {{L"hx", L"-m:cfg", L"-q:cfgparseresult"}, kModeConfig},
      {{L"hx", L"-m:cfg", L"-rm"}, kModeConfigRebootVariant},
      {{L"hx", L"-m:DAA", L"-r"}, kModeDaa},
  };
  for (const auto& c : cases) {
    const Outcome outcome = SelectMode(c.arguments);
    EXPECT_EQ(outcome.hr, S_OK) << c.arguments[1];
    EXPECT_EQ(outcome.options.ModeCode, c.mode) << c.arguments[1];
    EXPECT_FALSE(outcome.shown.has_value());
  }
  // The parser's refusal is the result; the mode stays selected.
  const Outcome refused = SelectMode({L"hx", L"-m:cfg"});
  EXPECT_EQ(refused.hr, E_INVALIDARG);
  EXPECT_EQ(refused.options.ModeCode, kModeConfig);
}

TEST(ParseModeArguments, EveryRefusalNamesTheArgumentAndWhatIsWrong) {
  const std::wstring long_name(40, L's');
  const std::wstring long_name_token = L"-s:" + long_name;
  const struct {
    std::vector<const wchar_t*> arguments;
    const wchar_t* line;
  } cases[] = {
      {{L"hx"}, L"hx7300: the mode is missing (-m:<mode>)"},
      {{L"hx", L"-i:nk"}, L"hx7300: -i:nk: the first argument must be the mode, -m:<mode>"},
      {{L"hx", L"-m:upgrade"},
       L"hx7300: -m:upgrade: unknown mode; the modes are img, diag, netimg, cfg and daa"},
      {{L"hx", L"-m:img", L"-i:nk", L"-x:1"}, L"hx7300: -x:1: not an option of this mode"},
      {{L"hx", L"-m:img", L"-i:kernel"},
       L"hx7300: -i:kernel: unknown image; the images are nk, eboot, cpueboot, config and "
       L"qvconfig"},
      {{L"hx", L"-m:img", L"-f"}, L"hx7300: -f: needs a value, as -f:<value>"},
      {{L"hx", L"-m:img", L"-f:a"}, L"hx7300: the image to update is missing (-i:<image>)"},
      {{L"hx", L"-m:img", L"-i:nk"}, L"hx7300: the image file is missing (-f:<file>)"},
      {{L"hx", L"-m:img", L"-i:eboot", L"-f:a"},
       L"hx7300: nk, eboot and cpueboot need their signature file (-s:<catfile>)"},
      {{L"hx", L"-m:diag", L"-l:keep"},
       L"hx7300: -l:keep: the log upload is -l, or -l:flush to "
       L"flush it"},
      {{L"hx", L"-m:diag"}, L"hx7300: the log upload is missing (-l or -l:flush)"},
      {{L"hx", L"-m:netimg", L"-s:a", L"-u:b", L"-p:70000"},
       L"hx7300: -p:70000: the port must be 1 to 65535"},
      {{L"hx", L"-m:netimg", L"-u:b"}, L"hx7300: the server name is missing (-s:<server>)"},
      {{L"hx", L"-m:netimg", L"-s:a", L"-u:\u4E2D"},
       L"hx7300: -u:\u4E2D: the URL has a character that the system's ANSI code page lacks"},
      {{L"hx", L"-m:netimg", long_name_token.c_str(), L"-u:b"},
       L"hx7300: -s:ssssssssssssssssssssssssssssssssssssssss: the server name is 40 characters "
       L"long; the device takes at most 35"},
      {{L"hx", L"-m:cfg", L"-q:cfgparseresult", L"-r"},
       L"hx7300: -r: a run does one action, and one was given before"},
      {{L"hx", L"-m:cfg", L"-q:status"}, L"hx7300: -q:status: the only query is -q:cfgparseresult"},
      {{L"hx", L"-m:cfg"},
       L"hx7300: the action is missing (-t:<time>, -r, -rm, -p, "
       L"-q:cfgparseresult or -f:<file>)"},
      {{L"hx", L"-m:daa", L"-r", L"-r"}, L"hx7300: -r: the settings are read once per run"},
      {{L"hx", L"-m:daa"}, L"hx7300: the read request is missing (-r)"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = SelectMode(c.arguments);
    EXPECT_EQ(outcome.hr, E_INVALIDARG) << outcome.refusal.Line();
    EXPECT_EQ(outcome.refusal.Line(), c.line);
  }
  // The limit is the device's text field: 35 characters are sent whole.
  const std::wstring fits = L"-u:" + std::wstring(35, L'u');
  EXPECT_EQ(SelectMode({L"hx", L"-m:netimg", L"-s:a", fits.c_str()}).hr, S_OK);
  const std::wstring too_long = L"-u:" + std::wstring(36, L'u');
  EXPECT_EQ(SelectMode({L"hx", L"-m:netimg", L"-s:a", too_long.c_str()}).hr, E_INVALIDARG);
}

TEST(ParseModeArguments, HelpAsSecondArgumentShowsThatModesScreen) {
  const struct {
    const wchar_t* mode;
    const wchar_t* help;
    UsageScreen screen;
  } cases[] = {
      {L"-m:img", L"-HELP", UsageScreen::kImage},       {L"-m:diag", L"-help", UsageScreen::kDiag},
      {L"-m:netimg", L"-Help", UsageScreen::kNetImage}, {L"-m:cfg", L"-help", UsageScreen::kConfig},
      {L"-m:daa", L"-hElP", UsageScreen::kDaa},
  };
  for (const auto& c : cases) {
    const Outcome outcome = SelectMode({L"./hx7300", c.mode, c.help, L"ignored"});
    EXPECT_EQ(outcome.hr, S_FALSE) << c.mode;
    ASSERT_TRUE(outcome.shown.has_value()) << c.mode;
    EXPECT_EQ(outcome.shown->screen, c.screen) << c.mode;
    EXPECT_EQ(outcome.shown->program, L"./hx7300");
  }
}

TEST(ParseModeArguments, HelpAnywhereElseIsAnOrdinaryToken) {
  const Outcome behind_flag = SelectMode({L"hx", L"-m:img", L"-i:nk", L"-help"});
  EXPECT_EQ(behind_flag.hr, E_INVALIDARG);
  EXPECT_FALSE(behind_flag.shown.has_value());
  const Outcome unknown_mode = SelectMode({L"hx", L"-m:nope", L"-help"});
  EXPECT_EQ(unknown_mode.hr, E_INVALIDARG);
  EXPECT_FALSE(unknown_mode.shown.has_value());
  const Outcome prefix_only = SelectMode({L"hx", L"-m:daa", L"-helpme"});
  EXPECT_EQ(prefix_only.hr, E_INVALIDARG);
  EXPECT_FALSE(prefix_only.shown.has_value());
}

}  // namespace
}  // namespace hx
