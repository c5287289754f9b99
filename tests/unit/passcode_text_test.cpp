// The passcodes a run can set, as the utility's prompt and the virtual device both judge them.
#include "protocol/passcode_text.h"

#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <string>

#include "console/passcode_entry.h"
#include "platform/code_page_1252.h"
#include "support/recording_console.h"

namespace hx {
namespace {

TEST(PasscodeText, OneToFifteenLettersAndDigitsOfWindows1252) {
  const std::pair<std::string, PasscodeFault> cases[] = {
      {"abcdefghij12345", PasscodeFault::kNone},
      {"\xC9t\xE9\xAA\xB2", PasscodeFault::kNone},  // Été, a letter on Linux, a digit on Windows
      {"", PasscodeFault::kEmpty},
      {"abcdefghij123456", PasscodeFault::kTooLong},
      {"12 34", PasscodeFault::kUntypeable},
      {"12\xD7", PasscodeFault::kUntypeable},  // the multiplication sign among the letters
      {"\x80", PasscodeFault::kUntypeable},    // the euro sign
  };
  for (const auto& [text, fault] : cases) {
    EXPECT_EQ(
        CheckPasscode(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())),
        fault)
        << text;
  }
}

// The prompt judges typed characters by the C library's classification; whatever it takes on
// this system must be a passcode the device accepts.
TEST(PasscodeText, EveryCharacterThePromptTakesIsAPasscodeByte) {
  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  // Where it exists, the locale that classifies the most characters as letters.
  std::setlocale(LC_CTYPE, "C.UTF-8");
  test::RecordingConsole console;
  ScopedConsole scoped(console);
  for (int byte = 0; byte <= 0xFF; ++byte) {
    console.QueueHiddenLine(std::wstring(1, DecodeCp1252(static_cast<std::uint8_t>(byte))));
    std::array<wchar_t, kMaxPasscodeLength + 1> typed{};
    if (SUCCEEDED(ReadPasscode(L"", typed))) {
      EXPECT_TRUE(IsPasscodeByte(static_cast<std::uint8_t>(byte))) << byte;
    }
  }
  std::setlocale(LC_CTYPE, saved.c_str());
}

}  // namespace
}  // namespace hx
