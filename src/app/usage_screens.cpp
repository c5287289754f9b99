#include "app/usage_screens.h"

#include <array>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "console/console_io.h"
#include "platform/exit_status.h"

namespace hx {
namespace {

struct ModeScreenText {
  std::wstring_view title;
  std::wstring_view synopsis;  ///< what follows the program name, line end included
  std::span<const std::wstring_view> flag_lines;
};

constexpr std::array<std::wstring_view, 4> kImageFlags = {
    L"        -i:<index>     - Index of the image.\r\n",
    L"                         [nk|eboot|config].\r\n",
    L"        -f:<file>      - File name of the image.\r\n",
    L"        -s:<catfile>   - Signature file (required for nk and eboot images).\r\n",
};
constexpr std::array<std::wstring_view, 1> kDiagFlags = {
    L"        -l[:flush]        - Upload CELOG (flush option flushes diag log).\r\n",
};
constexpr std::array<std::wstring_view, 3> kNetImageFlags = {
    L"        -s:<server>    - Image Update server.\r\n",
    L"        -u:<URL>       - URL to use for Image Update.\r\n",
    L"        -p:<portnum>   - Port number.\r\n",
};
constexpr std::array<std::wstring_view, 5> kConfigFlags = {
    L"     -t:now            - Set device time to match current PC time.\r\n",
    L"     -r                - Reboot device.\r\n",
    L"     -p                - Reset passcode.\r\n",
    L"     -q:cfgparseresult - Query config XML parse results.\r\n",
    L"     -f:<file>         - <file> uploaded to the log server from the device.\r\n",
};
constexpr std::array<std::wstring_view, 1> kDaaFlags = {
    L"     -r Read current DAA settings. \r\n",
};

constexpr ModeScreenText kImageScreen = {
    L"USB Image Update Usage:", L" -m:img -i:<index> -f:<file> -s:<catfile>\r\n", kImageFlags};
constexpr ModeScreenText kDiagScreen = {L"Diagnostics Server Configuration Usage:",
                                        L" -m:diag <flags>\r\n", kDiagFlags};
constexpr ModeScreenText kNetImageScreen = {L"Network Image Update Usage:",
                                            L" -m:netimg -s:<server> -u:<URL> -p:<port>\r\n",
                                            kNetImageFlags};
constexpr ModeScreenText kConfigScreen = {L"System Configuration Usage:", L" -m:cfg <flags>\r\n",
                                          kConfigFlags};
constexpr ModeScreenText kDaaScreen = {L"DAA Read Usage:", L" -m:daa <flags>\r\n", kDaaFlags};

void WriteMainScreen(std::wstring_view program) {
  ConsoleIo& console = Console();
  console.WriteWide(L"Usage: " + std::wstring(program) + L" -m:<mode> -help\r\n");
  console.WriteWide(L"\r\n");
  console.WriteWide(L"Modes:\r\n");
  console.WriteWide(L"    img     - Image update mode.\r\n");
  console.WriteWide(L"    diag    - Diagnostics mode.\r\n");
  console.WriteWide(L"    cfg     - Configuration mode.\r\n");
  console.WriteWide(L"    daa     - Get current DAA settings.\r\n");
  console.WriteWide(L"\r\n");
}

void WriteModeScreen(const ModeScreenText& text, std::wstring_view program) {
  ConsoleIo& console = Console();
  // The title has no line end: the synopsis stands on the same line.
  console.WriteWide(text.title);
  console.WriteWide(std::wstring(program) + std::wstring(text.synopsis));
  console.WriteWide(L"\r\n");
  console.WriteWide(L"    flags:\r\n");
  for (std::wstring_view line : text.flag_lines) {
    console.WriteWide(line);
  }
  console.WriteWide(L"\r\n");
}

}  // namespace

void PrintBanner() {
  ConsoleIo& console = Console();
  console.WriteWide(L"\r\n");
  console.WriteWide(L"Orvanta HX7300 Management Utility [Version 1.0]\r\n");
  console.WriteWide(L"\r\n");
}

void WriteUsageScreen(UsageScreen screen, const wchar_t* program_name) {
  const std::wstring_view program = program_name != nullptr ? program_name : L"";
  PrintBanner();
  switch (screen) {
    case UsageScreen::kMain:
      return WriteMainScreen(program);
    case UsageScreen::kImage:
      return WriteModeScreen(kImageScreen, program);
    case UsageScreen::kDiag:
      return WriteModeScreen(kDiagScreen, program);
    case UsageScreen::kNetImage:
      return WriteModeScreen(kNetImageScreen, program);
    case UsageScreen::kConfig:
      return WriteModeScreen(kConfigScreen, program);
    case UsageScreen::kDaa:
      return WriteModeScreen(kDaaScreen, program);
  }
}

void ShowUsageAndExit(UsageScreen screen, const wchar_t* program_name) {
  WriteUsageScreen(screen, program_name);
  // Console writes are unbuffered, so everything is out before the process ends; a screen
  // that could not be written is no success.
  std::exit(platform::ProcessExitStatus(ResultAfterOutput(S_OK)));
}

void PrintUsage(const wchar_t* program_name) {
  ShowUsageAndExit(UsageScreen::kMain, program_name);
}
void PrintImageUsage(const wchar_t* program_name) {
  ShowUsageAndExit(UsageScreen::kImage, program_name);
}
void PrintDiagUsage(const wchar_t* program_name) {
  ShowUsageAndExit(UsageScreen::kDiag, program_name);
}
void PrintNetImageUsage(const wchar_t* program_name) {
  ShowUsageAndExit(UsageScreen::kNetImage, program_name);
}
void PrintConfigUsage(const wchar_t* program_name) {
  ShowUsageAndExit(UsageScreen::kConfig, program_name);
}
void PrintDaaUsage(const wchar_t* program_name) {
  ShowUsageAndExit(UsageScreen::kDaa, program_name);
}

}  // namespace hx
