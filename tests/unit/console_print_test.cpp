#include "console/console_print.h"

#include <gtest/gtest.h>

#include <string>

#include "support/recording_console.h"

namespace hx {
namespace {

TEST(ConsolePrint, FormatsWithExplicitWidthsAndWritesOnce) {
  test::RecordingConsole console;
  ScopedConsole scoped(console);
  PrintWideF(L"%ls [%hs] %d 0x%08X\r\n", L"wide", "narrow", -7, 0xABCu);
  PrintNarrowF("Block %d of %d\r\n", 3, 10);
  EXPECT_EQ(console.Output(), "wide [narrow] -7 0x00000ABC\r\nBlock 3 of 10\r\n");
}

TEST(ConsolePrint, LongTextIsCutTo1023Characters) {
  test::RecordingConsole console;
  ScopedConsole scoped(console);
  const std::string narrow(1100, 'n');
  const std::wstring wide(1100, L'w');
  PrintNarrowF("%s", narrow.c_str());
  PrintWideF(L"%ls", wide.c_str());
  EXPECT_EQ(console.Output(), std::string(1023, 'n') + std::string(1023, 'w'));
}

}  // namespace
}  // namespace hx
