#include <gtest/gtest.h>

#include <string>

#include "app/option_parsers.h"
#include "support/command_line.h"

namespace hx {
namespace {

HRESULT ParseConfig(std::initializer_list<const wchar_t*> tokens, ModeOptions& options) {
  return test::ParseTokens(ParseConfigOptions, kModeConfig, tokens, options);
}

TEST(ParseConfigOptions, RebootAndPasscodeAcceptAtOnceWithoutLookingFurther) {
  const struct {
    std::initializer_list<const wchar_t*> tokens;
    std::int32_t mode;
  } cases[] = {
      {{L"-r"}, kModeConfigReboot},         {{L"-r", L"-t:garbage", L"junk"}, kModeConfigReboot},
      {{L"-rm"}, kModeConfigRebootVariant}, {{L"-rmore"}, kModeConfigRebootVariant},
      {{L"-rM"}, kModeConfigReboot},        {{L"-r:m"}, kModeConfigReboot},
      {{L"-p"}, kModeConfigPasscode},       {{L"-pxyz", L"-r"}, kModeConfigPasscode},
  };
  for (const auto& c : cases) {
    ModeOptions options;
    EXPECT_EQ(ParseConfig(c.tokens, options), S_OK) << *c.tokens.begin();
    EXPECT_EQ(options.ModeCode, c.mode) << *c.tokens.begin();
    EXPECT_EQ(options.Config.CfgCommand, 0) << *c.tokens.begin();
  }
}

TEST(ParseConfigOptions, ParseResultQueryInAnyCase) {
  ModeOptions options;
  ASSERT_EQ(ParseConfig({L"-q:CfgParseResult"}, options), S_OK);
  EXPECT_EQ(options.ModeCode, kModeConfig);
  EXPECT_EQ(options.Config.CfgCommand, 3);
  EXPECT_EQ(ParseConfig({L"-q:cfgparse"}, options), E_INVALIDARG);
  EXPECT_EQ(ParseConfig({L"-q"}, options), E_INVALIDARG);
}

TEST(ParseConfigOptions, UploadFileNameIsCutTo39Characters) {
  ModeOptions options;
  const std::wstring token = L"-f:" + std::wstring(50, L'n');
  ASSERT_EQ(ParseConfig({token.c_str()}, options), S_OK);
  EXPECT_EQ(options.Config.CfgCommand, 4);
  EXPECT_EQ(options.Config.CfgIndex, -1);
  EXPECT_EQ(std::wstring(options.Config.UploadFileName), std::wstring(39, L'n'));

  ASSERT_EQ(ParseConfig({L"-f:celog.bin"}, options), S_OK);
  EXPECT_STREQ(options.Config.UploadFileName, L"celog.bin");
  ASSERT_EQ(ParseConfig({L"-f:"}, options), S_OK);
  EXPECT_STREQ(options.Config.UploadFileName, L"");
}

TEST(ParseConfigOptions, OneActionPerRun) {
  ModeOptions options;
  EXPECT_EQ(ParseConfig({}, options), E_INVALIDARG);
  EXPECT_EQ(ParseConfig({L"-f:a", L"-q:cfgparseresult"}, options), E_INVALIDARG);
  EXPECT_EQ(ParseConfig({L"-f:a", L"-f:b"}, options), E_INVALIDARG);
  // A reboot behind an action is a second action, and the time is never resolved behind one.
  EXPECT_EQ(ParseConfig({L"-q:cfgparseresult", L"-r"}, options), E_INVALIDARG);
  EXPECT_EQ(ParseConfig({L"-f:a", L"-p"}, options), E_INVALIDARG);
  EXPECT_EQ(options.ModeCode, kModeConfig);
  EXPECT_EQ(ParseConfig({L"-q:cfgparseresult", L"-t:now"}, options), E_INVALIDARG);
}

TEST(ParseConfigOptions, RefusesBadShapesAndUnknownLetters) {
  ModeOptions options;
  for (const wchar_t* token :
       {L"-f", L"-fname", L"-t", L"-tnow", L"-x:1", L"-R", L"-P", L"f:a", L"-", L""}) {
    EXPECT_EQ(ParseConfig({token}, options), E_INVALIDARG) << token;
  }
}

TEST(ParseConfigOptions, TimeFlagReportsTheResolutionFailure) {
  ModeOptions options;
  // Whatever the PC's zone, this value is no time, so the action cannot be taken.
  EXPECT_TRUE(FAILED(ParseConfig({L"-t:not-a-time"}, options)));
  EXPECT_EQ(options.Config.CfgCommand, 1);
}

}  // namespace
}  // namespace hx
