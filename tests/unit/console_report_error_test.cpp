#include "console/report_error.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/message_table.h"
#include "support/debug_output_file.h"
#include "support/recording_console.h"

namespace hx {
namespace {

using test::DebugOutputFile;

// The line ReportError prints for code, with the system's text for it.
std::string ExpectedLine(std::uint32_t code) {
  std::string text = "(0x" + [code] {
    char hex[9];
    std::snprintf(hex, sizeof(hex), "%08X", code);
    return std::string(hex);
  }() + ") : ";
  const std::wstring message =
      platform::LookupMessageText(static_cast<HRESULT>(code)).value_or(L"(no text)");
  for (wchar_t ch : message) {
    text.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
  }
  return text;
}

TEST(ReportError, KnownCodePrintsCodeAndTextWithTheTextsLineEnd) {
  test::RecordingConsole console;
  ScopedConsole scoped(console);
  ReportError("CImageUpdate::Initialize() failed!", static_cast<HRESULT>(0x80070002u));
  EXPECT_EQ(console.Output(), ExpectedLine(0x80070002u));
  EXPECT_TRUE(console.Output().ends_with("\r\n"));
}

TEST(ReportError, UnknownCodePrintsNullAndNoLineEnd) {
  test::RecordingConsole console;
  ScopedConsole scoped(console);
  ReportError("anything", static_cast<HRESULT>(0xDEADBEEFu));
  EXPECT_EQ(console.Output(), "(0xDEADBEEF) : (null)");
}

TEST(ReportError, ContextIsPrintedNowhere) {
  DebugOutputFile debug;
  test::RecordingConsole first;
  {
    ScopedConsole scoped(first);
    ReportError("HandleDAAReadMode - timed out", kHrTimeout);
  }
  test::RecordingConsole second;
  {
    ScopedConsole scoped(second);
    ReportError("", kHrTimeout);
  }
  EXPECT_EQ(first.Output(), second.Output());
  EXPECT_EQ(debug.Contents().find("HandleDAAReadMode"), std::string::npos);
}

TEST(ReportError, DebugLineGoesToTheNamedFileAndTheConsoleGetsTheLineOnce) {
  DebugOutputFile debug;
  test::RecordingConsole console;
  ScopedConsole scoped(console);
  ReportError("first", E_INVALIDARG);
  ReportError("second", static_cast<HRESULT>(0x80001234u));
  EXPECT_EQ(console.Output(), ExpectedLine(0x80070057u) + "(0x80001234) : (null)");
  // Each report is a line of its own in the debugger output, as a debugger shows it.
  EXPECT_EQ(debug.Contents(), ExpectedLine(0x80070057u) + "(0x80001234) : (null)\n");
}

}  // namespace
}  // namespace hx
