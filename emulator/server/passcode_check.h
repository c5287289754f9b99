#pragma once
// The passcode hx7300-emulator starts with, from --passcode or a state directory's PASSCODE
// file, is refused at start when no run could type it: every run would be locked out.

#include <string>
#include <string_view>

namespace hx::emu {

/// Converts --passcode's text as a run converts a typed passcode (decoded with the locale,
/// encoded in Windows-1252) into passcode; false, with why in error, when no run could type it.
bool PasscodeFromArgument(const std::string& text, std::string& passcode, std::string& error);

/// Why passcode's bytes cannot be the device's passcode, as the end of a sentence ("is
/// empty, ..."); empty when they can.
std::string PasscodeProblem(std::string_view passcode);

}  // namespace hx::emu
