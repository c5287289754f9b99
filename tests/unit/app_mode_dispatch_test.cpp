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
};

Outcome SelectMode(std::vector<const wchar_t*> arguments) {
  g_shown.reset();
  Outcome outcome{E_FAIL, test::OptionsForMode(kModeNone), std::nullopt};
  outcome.hr = ParseModeArguments(arguments, outcome.options, RecordUsage);
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
