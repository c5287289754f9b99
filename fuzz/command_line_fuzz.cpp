// Feeds arbitrary command lines to the mode selection and the option parsers. The input is
// split into arguments at line feeds and zero bytes, each byte taken as one wide character, the
// first argument being the program name. Beyond not crashing, an accepted command line must
// leave a record that a handler can use, and a usage screen is asked for only on "-help".

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "app/mode_dispatch.h"
#include "protocol/net_image_steps.h"

namespace {

int g_screens_shown = 0;

void CountUsage(hx::UsageScreen, const wchar_t*) {
  ++g_screens_shown;
}

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

std::vector<std::wstring> SplitArguments(const std::uint8_t* data, std::size_t size) {
  std::vector<std::wstring> arguments(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n' || data[i] == 0) {
      arguments.emplace_back();
    } else {
      arguments.back().push_back(static_cast<wchar_t>(data[i]));
    }
  }
  return arguments;
}

std::wstring LowerAscii(std::wstring text) {
  for (wchar_t& ch : text) {
    ch = ch >= L'A' && ch <= L'Z' ? static_cast<wchar_t>(ch + (L'a' - L'A')) : ch;
  }
  return text;
}

/// True when text points into one of the arguments (the img file names are not copied).
bool PointsIntoArguments(const wchar_t* text, const std::vector<const wchar_t*>& arguments) {
  return std::any_of(arguments.begin(), arguments.end(), [text](const wchar_t* argument) {
    return text >= argument && text <= argument + std::wcslen(argument);
  });
}

void CheckAccepted(const hx::ModeOptions& options, const std::vector<const wchar_t*>& arguments) {
  switch (options.ModeCode) {
    case hx::kModeImage:
      Check(options.Image.ImageIndex == 0 || options.Image.ImageIndex == 1 ||
            options.Image.ImageIndex == 4);
      Check(PointsIntoArguments(options.Image.ImageFile, arguments));
      Check(!hx::ImageNeedsSignature(options.Image) ||
            PointsIntoArguments(options.Image.SignatureFile, arguments));
      return;
    case hx::kModeDiag:
      Check(options.Diag.DiagOpcode == 12 && options.Diag.FlushLog <= 1);
      return;
    case hx::kModeNetImage:
      Check(options.NetImage.ServerName.has_value() && options.NetImage.UpdateUrl.has_value());
      // A text the device's field cannot hold whole is refused, never cut.
      Check(options.NetImage.ServerName->size() <= hx::kNetImageMaxTextLength &&
            options.NetImage.UpdateUrl->size() <= hx::kNetImageMaxTextLength);
      Check(options.NetImage.ServerPort != 0);
      return;
    case hx::kModeConfig:
      Check(options.Config.CfgCommand == 1 || options.Config.CfgCommand == 3 ||
            options.Config.CfgCommand == 4);
      Check(std::wcslen(options.Config.UploadFileName) < hx::kUploadFileNameCapacity);
      return;
    case hx::kModeConfigReboot:
    case hx::kModeConfigPasscode:
    case hx::kModeConfigRebootVariant:
      return;
    case hx::kModeDaa:
      Check(options.Daa.DaaRequest == 1);
      return;
    default:
      Check(false);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::wstring> storage = SplitArguments(data, size);
  std::vector<const wchar_t*> arguments;
  for (const std::wstring& argument : storage) {
    arguments.push_back(argument.c_str());
  }
  hx::ModeOptions options{};
  options.ModeCode = hx::kModeNone;
  g_screens_shown = 0;
  hx::CommandLineRefusal refusal;
  const HRESULT hr = hx::ParseModeArguments(arguments, options, CountUsage, refusal);
  const bool help_asked =
      arguments.size() > 2 && LowerAscii(storage[2]) == L"-help" && storage[1].starts_with(L"-m:");
  if (hr == S_FALSE) {
    Check(g_screens_shown == 1 && help_asked);
    return 0;
  }
  Check(g_screens_shown == 0);
  if (hr == S_OK) {
    CheckAccepted(options, arguments);
  } else {
    // Every refused command line says why on standard error.
    Check(refusal.HasReason());
  }
  return 0;
}
