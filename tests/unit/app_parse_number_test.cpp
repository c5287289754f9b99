#include <gtest/gtest.h>

#include <optional>

#include "app/option_parsers.h"

namespace hx {
namespace {

TEST(ParseNumber, DecimalTakesAtMostNineDigits) {
  EXPECT_EQ(ParseNumber(L"0"), 0);
  EXPECT_EQ(ParseNumber(L"8080"), 8080);
  EXPECT_EQ(ParseNumber(L"999999999"), 999999999);
  EXPECT_EQ(ParseNumber(L"000000080"), 80);
  EXPECT_EQ(ParseNumber(L"0000000080"), std::nullopt);  // leading zeros count as digits
  EXPECT_EQ(ParseNumber(L"1000000000"), std::nullopt);
}

TEST(ParseNumber, HexadecimalNeedsLowerCaseXAndAtMostEightDigits) {
  EXPECT_EQ(ParseNumber(L"0xFFFF"), 65535);
  EXPECT_EQ(ParseNumber(L"x1F90"), 8080);
  EXPECT_EQ(ParseNumber(L"0xabcDEF"), 0xABCDEF);
  EXPECT_EQ(ParseNumber(L"x0000FFFF"), 65535);
  EXPECT_EQ(ParseNumber(L"0X50"), std::nullopt);
  EXPECT_EQ(ParseNumber(L"X50"), std::nullopt);
  EXPECT_EQ(ParseNumber(L"0x100000000"), std::nullopt);
  EXPECT_EQ(ParseNumber(L"x"), std::nullopt);
  EXPECT_EQ(ParseNumber(L"0x"), std::nullopt);
  EXPECT_EQ(ParseNumber(L"0xx1"), std::nullopt);
  EXPECT_EQ(ParseNumber(L"1F90"), std::nullopt);  // hex digits without a prefix
}

TEST(ParseNumber, HexadecimalWithTheTopBitSetComesOutNegative) {
  EXPECT_EQ(ParseNumber(L"0xFFFFFFFF"), -1);
  EXPECT_EQ(ParseNumber(L"x80000050"), static_cast<std::int32_t>(0x80000050u));
  EXPECT_EQ(ParseNumber(L"0x7FFFFFFF"), 0x7FFFFFFF);
}

TEST(ParseNumber, RefusesSignsBlanksAndEmptyText) {
  EXPECT_EQ(ParseNumber(nullptr), std::nullopt);
  EXPECT_EQ(ParseNumber(L""), std::nullopt);
  EXPECT_EQ(ParseNumber(L"-1"), std::nullopt);
  EXPECT_EQ(ParseNumber(L"+1"), std::nullopt);
  EXPECT_EQ(ParseNumber(L" 80"), std::nullopt);
  EXPECT_EQ(ParseNumber(L"80 "), std::nullopt);
  EXPECT_EQ(ParseNumber(L"0x 1"), std::nullopt);
  EXPECT_EQ(ParseNumber(L"8g"), std::nullopt);
  EXPECT_EQ(ParseNumber(L"\u0661"), std::nullopt);  // a digit of another script
}

}  // namespace
}  // namespace hx
