#include "console/bounded_text.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace hx {
namespace {

TEST(CopyBounded, SourceOfCapacityMinusOneFitsAndOneMoreIsCut) {
  std::array<char, 5> narrow;
  EXPECT_EQ(CopyBoundedA(narrow, "abcd"), S_OK);
  EXPECT_STREQ(narrow.data(), "abcd");
  EXPECT_EQ(CopyBoundedA(narrow, "abcde"), kHrInsufficientBuffer);
  EXPECT_STREQ(narrow.data(), "abcd");
  EXPECT_EQ(CopyBoundedA(narrow, "abcdefgh"), kHrInsufficientBuffer);
  EXPECT_STREQ(narrow.data(), "abcd");

  std::array<wchar_t, 5> wide;
  EXPECT_EQ(CopyBoundedW(wide, L"wxyz"), S_OK);
  EXPECT_STREQ(wide.data(), L"wxyz");
  EXPECT_EQ(CopyBoundedW(wide, L"vwxyz"), kHrInsufficientBuffer);
  EXPECT_STREQ(wide.data(), L"vwxy");
}

TEST(CopyBounded, CapacityOneHoldsAnEmptyTextAndCapacityZeroIsUntouched) {
  std::array<char, 2> narrow = {'x', 'y'};
  EXPECT_EQ(CopyBoundedA(std::span(narrow).first(1), "a"), kHrInsufficientBuffer);
  EXPECT_EQ(narrow[0], '\0');
  EXPECT_EQ(narrow[1], 'y');
  EXPECT_EQ(CopyBoundedA(std::span(narrow).first(1), ""), S_OK);
  EXPECT_EQ(narrow[0], '\0');

  narrow = {'x', 'y'};
  EXPECT_EQ(CopyBoundedA(std::span(narrow).first(0), "a"), E_INVALIDARG);
  EXPECT_EQ(narrow[0], 'x');

  std::array<wchar_t, 1> wide = {L'q'};
  EXPECT_EQ(CopyBoundedW(std::span(wide).first(0), L"a"), E_INVALIDARG);
  EXPECT_EQ(wide[0], L'q');
  EXPECT_EQ(CopyBoundedW(wide, L"ab"), kHrInsufficientBuffer);
  EXPECT_EQ(wide[0], L'\0');
}

TEST(FormatBounded, OutputOfCapacityMinusOneFitsAndOneMoreIsCut) {
  std::array<char, 6> narrow;
  EXPECT_EQ(FormatBoundedA(narrow, "%d-%s", 12, "ab"), S_OK);
  EXPECT_STREQ(narrow.data(), "12-ab");
  EXPECT_EQ(FormatBoundedA(narrow, "%d-%s", 12, "abc"), kHrInsufficientBuffer);
  EXPECT_STREQ(narrow.data(), "12-ab");

  std::array<wchar_t, 11> wide;
  EXPECT_EQ(FormatBoundedW(wide, L"0x%08X", 0xBEEFu), S_OK);
  EXPECT_STREQ(wide.data(), L"0x0000BEEF");
  EXPECT_EQ(FormatBoundedW(wide, L"%ls", L"0123456789"), S_OK);
  EXPECT_STREQ(wide.data(), L"0123456789");
  // The wide formatter only reports failure on overflow; the first capacity - 1 characters
  // must still be there.
  EXPECT_EQ(FormatBoundedW(wide, L"%ls", L"0123456789A"), kHrInsufficientBuffer);
  EXPECT_STREQ(wide.data(), L"0123456789");
}

TEST(FormatBounded, CapacityOneHoldsAnEmptyTextAndCapacityZeroIsUntouched) {
  std::array<char, 1> narrow = {'x'};
  EXPECT_EQ(FormatBoundedA(narrow, "%s", ""), S_OK);
  EXPECT_EQ(narrow[0], '\0');
  EXPECT_EQ(FormatBoundedA(narrow, "%s", "a"), kHrInsufficientBuffer);
  EXPECT_EQ(narrow[0], '\0');
  narrow[0] = 'x';
  EXPECT_EQ(FormatBoundedA(std::span(narrow).first(0), "%s", "a"), E_INVALIDARG);
  EXPECT_EQ(narrow[0], 'x');

  std::array<wchar_t, 1> wide = {L'x'};
  EXPECT_EQ(FormatBoundedW(wide, L"%ls", L"a"), kHrInsufficientBuffer);
  EXPECT_EQ(wide[0], L'\0');
  wide[0] = L'x';
  EXPECT_EQ(FormatBoundedW(std::span(wide).first(0), L"%ls", L"a"), E_INVALIDARG);
  EXPECT_EQ(wide[0], L'x');
}

}  // namespace
}  // namespace hx
