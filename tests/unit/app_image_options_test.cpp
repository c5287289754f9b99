#include <gtest/gtest.h>

#include "app/option_parsers.h"
#include "support/command_line.h"

namespace hx {
namespace {

using test::CommandLine;
using test::OptionsForMode;

TEST(ParseImageOptions, IndexKeywordsInAnyCaseGiveTheirSlot) {
  const struct {
    const wchar_t* token;
    std::int32_t index;
  } cases[] = {{L"-i:nk", 1},       {L"-i:NK", 1},     {L"-i:eboot", 0},
               {L"-i:CpuEboot", 0}, {L"-i:config", 4}, {L"-i:QVCONFIG", 4}};
  for (const auto& c : cases) {
    const auto args = CommandLine(L"-m:img", {c.token, L"-f:image.bin", L"-s:image.cat"});
    ModeOptions options = OptionsForMode(kModeImage);
    EXPECT_EQ(test::Parse(ParseImageOptions, args, options), S_OK) << c.token;
    EXPECT_EQ(options.Image.ImageIndex, c.index) << c.token;
  }
}

TEST(ParseImageOptions, FileNamesReferIntoTheArgumentVector) {
  const auto args = CommandLine(L"-m:img", {L"-i:nk", L"-f:nk.bin", L"-s:nk.cat"});
  ModeOptions options = OptionsForMode(kModeImage);
  ASSERT_EQ(test::Parse(ParseImageOptions, args, options), S_OK);
  EXPECT_EQ(options.Image.ImageFile, args[3] + 3);
  EXPECT_EQ(options.Image.SignatureFile, args[4] + 3);
}

TEST(ParseImageOptions, SignatureIsRequiredOnlyForBootLoaderAndMainImage) {
  for (const wchar_t* index : {L"-i:nk", L"-i:eboot", L"-i:cpueboot"}) {
    const auto args = CommandLine(L"-m:img", {index, L"-f:a.bin"});
    ModeOptions options = OptionsForMode(kModeImage);
    EXPECT_EQ(test::Parse(ParseImageOptions, args, options), E_INVALIDARG) << index;
    EXPECT_TRUE(ImageNeedsSignature(options.Image)) << index;
  }
  const auto args = CommandLine(L"-m:img", {L"-i:config", L"-f:a.xml"});
  ModeOptions options = OptionsForMode(kModeImage);
  EXPECT_EQ(test::Parse(ParseImageOptions, args, options), S_OK);
  EXPECT_FALSE(ImageNeedsSignature(options.Image));
  EXPECT_EQ(options.Image.SignatureFile, nullptr);
}

TEST(ParseImageOptions, EmptyFileValueCountsAsPresentAndRepeatsOverwrite) {
  const auto args = CommandLine(L"-m:img", {L"-i:nk", L"-f:", L"-s:", L"-i:config", L"-f:b"});
  ModeOptions options = OptionsForMode(kModeImage);
  ASSERT_EQ(test::Parse(ParseImageOptions, args, options), S_OK);
  EXPECT_EQ(options.Image.ImageIndex, 4);
  EXPECT_STREQ(options.Image.ImageFile, L"b");
  EXPECT_STREQ(options.Image.SignatureFile, L"");
}

TEST(ParseImageOptions, ReadFlagIsAcceptedWhateverFollowsAndChangesNothing) {
  const auto args = CommandLine(L"-m:img", {L"-r", L"-i:config", L"-rubbish", L"-f:c.xml", L"-r:"});
  ModeOptions options = OptionsForMode(kModeImage);
  ASSERT_EQ(test::Parse(ParseImageOptions, args, options), S_OK);
  EXPECT_EQ(options.Image.ImageIndex, 4);
  EXPECT_STREQ(options.Image.ImageFile, L"c.xml");
}

TEST(ParseImageOptions, RefusesBadShapesUnknownIndexesAndMissingFlags) {
  const std::initializer_list<const wchar_t*> refused[] = {
      {L"-i:nk2", L"-f:a", L"-s:b"},      // index outside the keywords
      {L"-i:", L"-f:a", L"-s:b"},         // empty index
      {L"-inK", L"-f:a", L"-s:b"},        // no colon behind the letter
      {L"-i:config", L"-f"},              // file flag without colon
      {L"-I:config", L"-f:a"},            // letters are lower case
      {L"-i:config", L"-f:a", L"extra"},  // token without the dash
      {L"-i:config", L"-f:a", L"-x:1"},   // unknown letter
      {L"-i:config", L"-f:a", L"-"},      // a lone dash
      {L"-f:a"},                          // no index
      {L"-i:config"},                     // no file
      {},
  };
  for (const auto& tokens : refused) {
    const auto args = CommandLine(L"-m:img", tokens);
    ModeOptions options = OptionsForMode(kModeImage);
    EXPECT_EQ(test::Parse(ParseImageOptions, args, options), E_INVALIDARG) << args.size();
  }
}

TEST(OptionParsers, EachRefusesARecordOfAnotherMode) {
  const auto args = CommandLine(L"-m:x", {L"-i:config", L"-f:a", L"-l", L"-r", L"-s:a", L"-u:b"});
  ModeOptions options = OptionsForMode(kModeNone);
  EXPECT_EQ(test::Parse(ParseImageOptions, args, options), E_INVALIDARG);
  EXPECT_EQ(test::Parse(ParseDiagOptions, args, options), E_INVALIDARG);
  EXPECT_EQ(test::Parse(ParseNetImageOptions, args, options), E_INVALIDARG);
  EXPECT_EQ(test::Parse(ParseConfigOptions, args, options), E_INVALIDARG);
  EXPECT_EQ(test::Parse(ParseDaaOptions, args, options), E_INVALIDARG);
  options.ModeCode = kModeConfigReboot;  // the cfg parser takes only the mode it was given
  EXPECT_EQ(test::Parse(ParseConfigOptions, CommandLine(L"-m:cfg", {L"-r"}), options),
            E_INVALIDARG);
}

}  // namespace
}  // namespace hx
