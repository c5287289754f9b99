#include "server/passcode_check.h"

#include <span>
#include <string>

#include "platform/ansi_code_page.h"
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
  // As a run converts what is typed: the locale's text, then its bytes in the ANSI code page.
  const std::wstring wide = platform::WidenLocaleText(text);
  std::string bytes(platform::AnsiBytesNeeded(wide.c_str()), '\0');
  const bool converted = !bytes.empty() && platform::EncodeAnsi(wide.c_str(), bytes);
  if (converted) {
    bytes.pop_back();  // the terminator
  }
  const std::string problem =
      converted ? PasscodeProblem(bytes) : FaultText(PasscodeFault::kUntypeable);
  if (!problem.empty()) {
    error = "--passcode " + problem;
    return false;
  }
  passcode = std::move(bytes);
  return true;
}

}  // namespace hx::emu
