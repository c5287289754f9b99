#include "console/report_error.h"

#include <gtest/gtest.h>

#include "platform/message_table.h"
#include "support/debug_output_file.h"
#include "support/recording_console.h"

namespace hx {
namespace {

using test::DebugOutputFile;

TEST(ReportError, KnownCodePrintsCodeAndTextWithTheTextsLineEnd) {
  test::RecordingConsole console;
  ScopedConsole scoped(console);
  ReportError("CImageUpdate::Initialize() failed!", static_cast<HRESULT>(0x80070002u));
  EXPECT_EQ(console.Output(), "(0x80070002) : No file exists with the given name.\r\n");
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
  EXPECT_EQ(console.Output(),
            "(0x80070057) : A value given to the operation is not valid.\r\n"
            "(0x80001234) : (null)");
  // Each report is a line of its own in the debugger output, as a debugger shows it.
  EXPECT_EQ(debug.Contents(),
            "(0x80070057) : A value given to the operation is not valid.\r\n"
            "(0x80001234) : (null)\n");
}

TEST(MessageTable, EveryCodeTheUtilityProducesHasATextEndingInALineEnd) {
  const std::uint32_t codes[] = {
      0x00000000u, 0x80004005u, 0x80070057u, 0x8007000Eu, 0x80004001u, 0x80070002u, 0x80070003u,
      0x80070004u, 0x80070005u, 0x80070006u, 0x80070008u, 0x80070013u, 0x80070015u, 0x80070017u,
      0x8007001Fu, 0x80070026u, 0x80070070u, 0x8007007Au, 0x800700AAu, 0x800700B7u, 0x800700DFu,
      0x800703EEu, 0x8007045Du, 0x8007048Fu, 0x80070490u, 0x800705B4u, 0x80070032u, 0x800700CEu,
      0x80070781u, 0x800700E8u, 0x80072740u,
  };
  for (std::uint32_t code : codes) {
    const auto text = platform::LookupMessageText(static_cast<HRESULT>(code));
    ASSERT_TRUE(text.has_value()) << std::hex << code;
    EXPECT_GT(text->size(), 2u) << std::hex << code;
    EXPECT_EQ(text->substr(text->size() - 2), L"\r\n") << std::hex << code;
  }
  // Keyed by the whole code: a bare Windows error number is not a message number here.
  EXPECT_FALSE(platform::LookupMessageText(2).has_value());
  EXPECT_EQ(*platform::LookupMessageText(kHrFileChanged),
            L"The file was changed by another program while it was being read.\r\n");
}

}  // namespace
}  // namespace hx
