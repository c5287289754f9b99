#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/entry.h"
#include "console/console_io.h"

namespace hx {
namespace {

/// Writes console text to standard error, where a death test can look at what the ended
/// process printed.
class StderrConsole final : public ConsoleIo {
 public:
  void WriteWide(std::wstring_view text) override {
    std::string narrow;
    for (wchar_t ch : text) {
      narrow.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
    }
    WriteNarrow(narrow);
  }
  void WriteNarrow(std::string_view text) override {
    std::fwrite(text.data(), 1, text.size(), stderr);
  }
  void WriteNarrowInPlace(std::string_view line) override { WriteNarrow(line); }
  void WriteErrorLine(std::wstring_view text) override {
    WriteWide(L"[stderr] ");
    WriteWide(text);
    WriteWide(L"\n");
  }
  HRESULT OutputFailure() const override { return S_OK; }
  int ReadChar() override { return -1; }
  HRESULT ReadHiddenLine(std::wstring_view, std::span<wchar_t>, std::size_t& count) override {
    count = 0;
    return E_FAIL;
  }
};

using ::testing::AllOf;
using ::testing::ExitedWithCode;
using ::testing::HasSubstr;
using ::testing::Not;

HRESULT RunWith(std::vector<const wchar_t*> arguments) {
  StderrConsole console;
  const ScopedConsole scoped(console);
  return RunEntry(arguments);
}

TEST(RunEntryDeathTest, RefusedCommandLinesShowTheMainScreenAndExitZero) {
  const auto main_screen = AllOf(HasSubstr("Orvanta HX7300 Management Utility [Version 1.0]"),
                                 HasSubstr("Usage: ./hx7300 -m:<mode> -help\r\n"));
  EXPECT_EXIT(RunWith({L"./hx7300"}), ExitedWithCode(0), main_screen);
  EXPECT_EXIT(RunWith({L"./hx7300", L"-m:upgrade", L"-help"}), ExitedWithCode(0), main_screen);
  // The parser's refusal shows the main screen, not the mode's own.
  EXPECT_EXIT(RunWith({L"./hx7300", L"-m:cfg"}), ExitedWithCode(0),
              AllOf(main_screen, Not(HasSubstr("System Configuration Usage:"))));
}

TEST(RunEntryDeathTest, HelpShowsTheModeScreenAndExitsZero) {
  EXPECT_EXIT(
      RunWith({L"hx", L"-m:NETIMG", L"-HELP"}), ExitedWithCode(0),
      AllOf(HasSubstr("Network Image Update Usage:hx -m:netimg"), Not(HasSubstr("Modes:"))));
}

}  // namespace
}  // namespace hx
