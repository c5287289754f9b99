#include "console/read_stdin_line.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "support/recording_console.h"

namespace hx {
namespace {

TEST(ReadStdinLine, LongLineFillsTheBufferAndTheRestIsLeftForTheNextRead) {
  std::string input;
  for (int i = 0; i < 300; ++i) {
    input.push_back(static_cast<char>('a' + i % 26));
  }
  input += "\nnext\n";
  test::RecordingConsole console(input);
  ScopedConsole scoped(console);
  std::array<char, 260> buffer;
  ASSERT_EQ(ReadStdinLine(buffer), S_OK);
  EXPECT_EQ(std::string(buffer.data()), input.substr(0, 259));
  ASSERT_EQ(ReadStdinLine(buffer), S_OK);
  EXPECT_EQ(std::string(buffer.data()), input.substr(259, 41));
  ASSERT_EQ(ReadStdinLine(buffer), S_OK);
  EXPECT_STREQ(buffer.data(), "next");
}

TEST(ReadStdinLine, EmptyLineAndEndOfInput) {
  test::RecordingConsole console("\nY");
  ScopedConsole scoped(console);
  std::array<char, 8> buffer;
  buffer.fill('x');
  EXPECT_EQ(ReadStdinLine(buffer), S_OK);
  EXPECT_STREQ(buffer.data(), "");
  EXPECT_EQ(ReadStdinLine(buffer), S_OK);
  EXPECT_STREQ(buffer.data(), "Y");
  buffer.fill('x');
  EXPECT_EQ(ReadStdinLine(buffer), kHrEndOfFile);
  EXPECT_STREQ(buffer.data(), "");
}

TEST(ReadStdinLine, CapacityZeroAndOneReadNothing) {
  test::RecordingConsole console("Y\n");
  ScopedConsole scoped(console);
  std::array<char, 2> buffer = {'x', 'x'};
  EXPECT_EQ(ReadStdinLine(std::span(buffer).first(0)), kHrInsufficientBuffer);
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(ReadStdinLine(std::span(buffer).first(1)), kHrInsufficientBuffer);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], 'x');
  // Nothing was taken from the input.
  EXPECT_EQ(ReadStdinLine(buffer), S_OK);
  EXPECT_STREQ(buffer.data(), "Y");
}

}  // namespace
}  // namespace hx
