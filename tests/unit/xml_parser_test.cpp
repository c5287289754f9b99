// This build's XML parser as the device's configuration check feeds it, a piece at a time: the
// same verdicts from expat on Linux and from the system's XmlLite on Windows.

#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>

#include "xml/xml_parser.h"

namespace hx::emu {
namespace {

struct Document {
  const char* name;
  std::string text;
  std::size_t piece;  // bytes fed at a time
  XmlVerdict verdict;
};

std::span<const std::uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string Nested(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) {
    text += "<room>";
  }
  for (int i = 0; i < depth; ++i) {
    text += "</room>";
  }
  return text;
}

class XmlParserTest : public ::testing::TestWithParam<Document> {};

TEST_P(XmlParserTest, VerdictIsTheSameInEitherBuild) {
  const Document& document = GetParam();
  const auto check = MakeXmlParser();
  ASSERT_NE(check, nullptr);
  const auto bytes = Bytes(document.text);
  for (std::size_t at = 0; at < bytes.size(); at += document.piece) {
    if (!check->Feed(bytes.subspan(at, std::min(document.piece, bytes.size() - at)))) {
      break;
    }
  }
  EXPECT_EQ(check->Finish(), document.verdict);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, XmlParserTest,
    ::testing::Values(
        Document{"SplitEveryFewBytes",
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config><room name=\"A\">Board"
                 "room<![CDATA[<seats/>]]></room><!-- east wing --></config>\n",
                 3, XmlVerdict::kWellFormed},
        Document{"EndingInsideAnElement", "<config><room name=\"A\"/>", 3, XmlVerdict::kMalformed},
        // XmlLite's own limit is 256 levels; expat has none.
        Document{"Nested1000Deep", Nested(1000), 4096, XmlVerdict::kWellFormed},
        Document{"InternalEntities",
                 "<!DOCTYPE config [<!ENTITY room \"Boardroom\">]>"
                 "<config name=\"&room;\">&room;</config>",
                 5, XmlVerdict::kWellFormed},
        // One comment larger than the parser's memory, fed as the device feeds a file.
        Document{"TokenBeyondTheMemoryBound",
                 "<config><!--" + std::string(std::size_t{9} << 20, 'x') + "--></config>",
                 std::size_t{64} << 10, XmlVerdict::kMalformed}),
    [](const ::testing::TestParamInfo<Document>& document) {
      return std::string(document.param.name);
    });

TEST(XmlParser, CheckLeftHalfwayEndsWithoutAVerdict) {
  // As a check is left when the file is replaced during it: nothing waits for the rest.
  auto check = MakeXmlParser();
  ASSERT_NE(check, nullptr);
  EXPECT_TRUE(check->Feed(Bytes("<config><room name=")));
  check.reset();
}

}  // namespace
}  // namespace hx::emu
