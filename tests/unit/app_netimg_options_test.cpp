#include <gtest/gtest.h>

#include <string>

#include "app/option_parsers.h"
#include "support/command_line.h"

namespace hx {
namespace {

HRESULT ParseNetImage(std::initializer_list<const wchar_t*> tokens, ModeOptions& options) {
  return test::ParseTokens(ParseNetImageOptions, kModeNetImage, tokens, options);
}

TEST(ParseNetImageOptions, ServerAndUrlAreNarrowedAndThePortDefaultsTo80) {
  ModeOptions options;
  ASSERT_EQ(ParseNetImage({L"-u:/images/hx.bin", L"-s:update.example"}, options), S_OK);
  EXPECT_EQ(options.NetImage.ServerName, std::string("update.example"));
  EXPECT_EQ(options.NetImage.UpdateUrl, std::string("/images/hx.bin"));
  EXPECT_EQ(options.NetImage.ServerPort, 80);
}

TEST(ParseNetImageOptions, RepeatedFlagsReplaceTheEarlierValue) {
  ModeOptions options;
  ASSERT_EQ(ParseNetImage({L"-s:a", L"-u:b", L"-p:81", L"-s:c", L"-u:", L"-p:82"}, options), S_OK);
  EXPECT_EQ(options.NetImage.ServerName, std::string("c"));
  EXPECT_EQ(options.NetImage.UpdateUrl, std::string(""));
  EXPECT_EQ(options.NetImage.ServerPort, 82);
}

TEST(ParseNetImageOptions, PortMustLieBetween1And65535InAnyNotation) {
  const struct {
    const wchar_t* token;
    std::uint16_t port;
  } accepted[] = {{L"-p:1", 1}, {L"-p:65535", 65535}, {L"-p:0xFFFF", 65535}, {L"-p:x1F90", 8080}};
  for (const auto& c : accepted) {
    ModeOptions options;
    EXPECT_EQ(ParseNetImage({L"-s:a", L"-u:b", c.token}, options), S_OK) << c.token;
    EXPECT_EQ(options.NetImage.ServerPort, c.port) << c.token;
  }
  // The range is checked on the signed value, so a hexadecimal value with the top bit set is
  // refused rather than cut to its low 16 bits.
  for (const wchar_t* token : {L"-p:0", L"-p:65536", L"-p:0x10000", L"-p:0xFFFFFFFF",
                               L"-p:x80000050", L"-p:0x00010050", L"-p:", L"-p", L"-p80"}) {
    ModeOptions options;
    EXPECT_EQ(ParseNetImage({L"-s:a", L"-u:b", token}, options), E_INVALIDARG) << token;
  }
}

TEST(ParseNetImageOptions, RefusesMissingTextsAndStrayTokens) {
  ModeOptions options;
  EXPECT_EQ(ParseNetImage({L"-s:a"}, options), E_INVALIDARG);
  EXPECT_EQ(ParseNetImage({L"-u:b", L"-p:80"}, options), E_INVALIDARG);
  EXPECT_EQ(ParseNetImage({L"-s", L"-u:b"}, options), E_INVALIDARG);
  EXPECT_EQ(ParseNetImage({L"-s:a", L"-u:b", L"-x:c"}, options), E_INVALIDARG);
  EXPECT_EQ(ParseNetImage({L"-s:a", L"-u:b", L"u:c"}, options), E_INVALIDARG);
  EXPECT_EQ(ParseNetImage({L"-S:a", L"-u:b"}, options), E_INVALIDARG);
}

TEST(ParseNetImageOptions, ATextThatCannotBeNarrowedLeavesItsFieldAbsent) {
  ModeOptions options;
  // U+4E2D has no form in the ANSI code page, so the server counts as not given.
  EXPECT_EQ(ParseNetImage({L"-s:\u4E2D", L"-u:b"}, options), E_INVALIDARG);
  EXPECT_FALSE(options.NetImage.ServerName.has_value());
  EXPECT_EQ(ParseNetImage({L"-s:a", L"-u:b", L"-s:\u4E2D"}, options), E_INVALIDARG);
}

}  // namespace
}  // namespace hx
