#include <gtest/gtest.h>

#include "app/option_parsers.h"
#include "support/command_line.h"

namespace hx {
namespace {

using test::CommandLine;
using test::OptionsForMode;

struct DiagResult {
  HRESULT hr;
  ModeOptions options;
};

DiagResult ParseDiag(std::initializer_list<const wchar_t*> tokens) {
  DiagResult result{E_FAIL, OptionsForMode(kModeDiag)};
  result.hr = test::Parse(ParseDiagOptions, CommandLine(L"-m:diag", tokens), result.options);
  return result;
}

TEST(ParseDiagOptions, PlainAndFlushFormsSetTheUploadOpcode) {
  const DiagResult plain = ParseDiag({L"-l"});
  EXPECT_EQ(plain.hr, S_OK);
  EXPECT_EQ(plain.options.Diag.DiagOpcode, 12);
  EXPECT_EQ(plain.options.Diag.FlushLog, 0);
  const DiagResult flush = ParseDiag({L"-l:FLUSH"});
  EXPECT_EQ(flush.hr, S_OK);
  EXPECT_EQ(flush.options.Diag.DiagOpcode, 12);
  EXPECT_EQ(flush.options.Diag.FlushLog, 1);
}

TEST(ParseDiagOptions, TheLastLogTokenDecidesTheFlush) {
  EXPECT_EQ(ParseDiag({L"-l:flush", L"-l"}).options.Diag.FlushLog, 0);
  EXPECT_EQ(ParseDiag({L"-l", L"-l:Flush"}).options.Diag.FlushLog, 1);
}

TEST(ParseDiagOptions, RefusesEverythingButTheTwoForms) {
  for (const auto& tokens : {std::initializer_list<const wchar_t*>{},
                             {L"-l:"},
                             {L"-l:flushx"},
                             {L"-lflush"},
                             {L"-l "},
                             {L"-L"},
                             {L"l"},
                             {L"-l", L"-x"}}) {
    EXPECT_EQ(ParseDiag(tokens).hr, E_INVALIDARG) << tokens.size();
  }
}

HRESULT ParseDaa(std::initializer_list<const wchar_t*> tokens, ModeOptions& options) {
  return test::ParseTokens(ParseDaaOptions, kModeDaa, tokens, options);
}

TEST(ParseDaaOptions, OneTokenBeginningWithReadIsTheRequest) {
  ModeOptions options;
  for (const wchar_t* token : {L"-r", L"-read", L"-r:anything"}) {
    EXPECT_EQ(ParseDaa({token}, options), S_OK) << token;
    EXPECT_EQ(options.Daa.DaaRequest, 1) << token;
  }
}

TEST(ParseDaaOptions, RefusesNoRequestTwoRequestsAndOtherTokens) {
  ModeOptions options;
  EXPECT_EQ(ParseDaa({}, options), E_INVALIDARG);
  EXPECT_EQ(options.Daa.DaaRequest, 0xFF);
  EXPECT_EQ(ParseDaa({L"-r", L"-r"}, options), E_INVALIDARG);
  EXPECT_EQ(ParseDaa({L"-rx", L"-ry"}, options), E_INVALIDARG);
  EXPECT_EQ(ParseDaa({L"-R"}, options), E_INVALIDARG);
  EXPECT_EQ(ParseDaa({L"r"}, options), E_INVALIDARG);
  EXPECT_EQ(ParseDaa({L"-r", L"-x"}, options), E_INVALIDARG);
}

}  // namespace
}  // namespace hx
