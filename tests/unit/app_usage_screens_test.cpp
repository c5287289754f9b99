#include <gtest/gtest.h>

#include <string>

#include "app/usage_screens.h"
#include "console/console_io.h"
#include "support/recording_console.h"

namespace hx {
namespace {

const std::string kBanner = "\r\nOrvanta HX7300 Management Utility [Version 1.0]\r\n\r\n";

std::string ScreenText(UsageScreen screen, const wchar_t* program_name) {
  test::RecordingConsole console;
  const ScopedConsole scoped(console);
  WriteUsageScreen(screen, program_name);
  return console.Output();
}

TEST(UsageScreens, BannerIsThreeLines) {
  test::RecordingConsole console;
  const ScopedConsole scoped(console);
  PrintBanner();
  EXPECT_EQ(console.Output(), kBanner);
}

TEST(UsageScreens, MainScreenListsFourModesWithTheProgramName) {
  EXPECT_EQ(ScreenText(UsageScreen::kMain, L"C:\\tools\\hx7300.exe"),
            kBanner +
                "Usage: C:\\tools\\hx7300.exe -m:<mode> -help\r\n"
                "\r\n"
                "Modes:\r\n"
                "    img     - Image update mode.\r\n"
                "    diag    - Diagnostics mode.\r\n"
                "    cfg     - Configuration mode.\r\n"
                "    daa     - Get current DAA settings.\r\n"
                "\r\n");
}

TEST(UsageScreens, ImageScreen) {
  EXPECT_EQ(ScreenText(UsageScreen::kImage, L"./hx7300"),
            kBanner +
                "USB Image Update Usage:./hx7300 -m:img -i:<index> -f:<file> -s:<catfile>\r\n"
                "\r\n"
                "    flags:\r\n"
                "        -i:<index>     - Index of the image.\r\n"
                "                         [nk|eboot|config].\r\n"
                "        -f:<file>      - File name of the image.\r\n"
                "        -s:<catfile>   - Signature file (required for nk and eboot images).\r\n"
                "\r\n");
}

TEST(UsageScreens, DiagScreen) {
  EXPECT_EQ(ScreenText(UsageScreen::kDiag, L"hx"),
            kBanner +
                "Diagnostics Server Configuration Usage:hx -m:diag <flags>\r\n"
                "\r\n"
                "    flags:\r\n"
                "        -l[:flush]        - Upload CELOG (flush option flushes diag log).\r\n"
                "\r\n");
}

TEST(UsageScreens, NetImageScreen) {
  EXPECT_EQ(ScreenText(UsageScreen::kNetImage, L"hx"),
            kBanner +
                "Network Image Update Usage:hx -m:netimg -s:<server> -u:<URL> -p:<port>\r\n"
                "\r\n"
                "    flags:\r\n"
                "        -s:<server>    - Image Update server.\r\n"
                "        -u:<URL>       - URL to use for Image Update.\r\n"
                "        -p:<portnum>   - Port number.\r\n"
                "\r\n");
}

TEST(UsageScreens, ConfigScreen) {
  EXPECT_EQ(ScreenText(UsageScreen::kConfig, L"hx"),
            kBanner +
                "System Configuration Usage:hx -m:cfg <flags>\r\n"
                "\r\n"
                "    flags:\r\n"
                "     -t:now            - Set device time to match current PC time.\r\n"
                "     -r                - Reboot device.\r\n"
                "     -p                - Reset passcode.\r\n"
                "     -q:cfgparseresult - Query config XML parse results.\r\n"
                "     -f:<file>         - <file> uploaded to the log server from the device.\r\n"
                "\r\n");
}

TEST(UsageScreens, DaaScreenKeepsTheBlankBeforeTheLineEnd) {
  EXPECT_EQ(ScreenText(UsageScreen::kDaa, L"hx"), kBanner +
                                                      "DAA Read Usage:hx -m:daa <flags>\r\n"
                                                      "\r\n"
                                                      "    flags:\r\n"
                                                      "     -r Read current DAA settings. \r\n"
                                                      "\r\n");
}

TEST(UsageScreens, AbsentProgramNamePrintsAsEmptyText) {
  const std::string text = ScreenText(UsageScreen::kMain, nullptr);
  EXPECT_NE(text.find("Usage:  -m:<mode> -help\r\n"), std::string::npos);
}

TEST(UsageScreensDeathTest, PrintFunctionsEndTheProcessWithStatusZero) {
  test::RecordingConsole console;
  const ScopedConsole scoped(console);
  EXPECT_EXIT(PrintUsage(L"hx"), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(PrintImageUsage(L"hx"), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(PrintDiagUsage(L"hx"), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(PrintNetImageUsage(L"hx"), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(PrintConfigUsage(L"hx"), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(PrintDaaUsage(L"hx"), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace hx
