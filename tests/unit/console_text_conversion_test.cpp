#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "console/device_text.h"
#include "console/wide_to_ansi.h"
#include "platform/code_page_1252.h"

namespace hx {
namespace {

TEST(WideToAnsi, EmptyTextGivesATerminatorAndTwoSpareZeroBytes) {
  const auto text = WideToAnsi(L"");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text[0], '\0');
  EXPECT_EQ(text[1], '\0');
  EXPECT_EQ(text[2], '\0');
}

TEST(WideToAnsi, CodePageCharactersBecomeTheirBytes) {
  const auto text = WideToAnsi(L"A\u20AC\u00E9\u0178\u0081z");
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text.get(), "A\x80\xE9\x9F\x81z");
  EXPECT_EQ(text[7], '\0');
  EXPECT_EQ(text[8], '\0');
}

TEST(WideToAnsi, CharacterWithoutAFormMakesTheConversionFail) {
  EXPECT_EQ(WideToAnsi(L"ab\u0100"), nullptr);
  EXPECT_EQ(WideToAnsi(L"\u0080"), nullptr);
  EXPECT_EQ(WideToAnsi(L"\U0001F600"), nullptr);
  EXPECT_EQ(WideToAnsi(nullptr), nullptr);
}

TEST(CodePage1252, EveryByteDecodesToACharacterThatEncodesBackToIt) {
  for (int byte = 0; byte < 256; ++byte) {
    const auto encoded = EncodeCp1252(DecodeCp1252(static_cast<std::uint8_t>(byte)));
    ASSERT_TRUE(encoded.has_value()) << byte;
    EXPECT_EQ(*encoded, byte);
  }
  EXPECT_EQ(DecodeCp1252(0x80), L'\u20AC');
  EXPECT_EQ(DecodeCp1252(0x8D), L'\u008D');
  EXPECT_EQ(DecodeCp1252(0x99), L'\u2122');
}

TEST(DeviceTextToWide, ControlCharactersArePrintedAsQuestionMarks) {
  const std::uint8_t field[] = {'O',  'K',  '\r', '\n', 0x1B, '[', '2', 'J',
                                0x7F, 0x81, 0x9B, 0x80, 0xE9, 0,   'x', 'y'};
  // 0x9B and 0x80 are printable in the code page; 0x81 decodes to a C1 control.
  EXPECT_EQ(DeviceTextToWide(field), L"OK???[2J??\u203A\u20AC\u00E9");
}

TEST(DeviceTextToWide, FieldWithoutAZeroByteEndsAtTheFieldsEnd) {
  const std::array<std::uint8_t, 4> field = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(DeviceTextToWide(std::span(field).first(3)), L"abc");
  EXPECT_EQ(DeviceTextToWide(field), L"abcd");
  EXPECT_EQ(DeviceTextToWide({}), L"");
}

}  // namespace
}  // namespace hx
