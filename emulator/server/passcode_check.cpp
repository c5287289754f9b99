#include "server/passcode_check.h"

#include <memory>
#include <span>

#include "console/wide_to_ansi.h"
#include "platform/locale_text.h"
#include "protocol/passcode_text.h"

namespace hx::emu {
namespace {

const char* FaultText(PasscodeFault fault) {
  switch (fault) {
    case PasscodeFault::kEmpty:
      return "is empty, and a run never sets an empty passcode";
    case PasscodeFault::kTooLong:
      return "is longer than the 15 characters a run can type";
    case PasscodeFault::kUntypeable:
      return "holds a character that no run can type: a passcode is letters and digits that "
             "Windows-1252 has";
    case PasscodeFault::kNone:
      break;
  }
  return "";
}

}  // namespace

std::string PasscodeProblem(std::string_view passcode) {
  return FaultText(CheckPasscode(
      std::span(reinterpret_cast<const std::uint8_t*>(passcode.data()), passcode.size())));
}

bool PasscodeFromArgument(const std::string& text, std::string& passcode, std::string& error) {
  const std::unique_ptr<char[]> bytes = WideToAnsi(platform::WidenLocaleText(text).c_str());
  const std::string problem =
      bytes ? PasscodeProblem(bytes.get()) : FaultText(PasscodeFault::kUntypeable);
  if (!problem.empty()) {
    error = "--passcode " + problem;
    return false;
  }
  passcode = bytes.get();
  return true;
}

}  // namespace hx::emu
