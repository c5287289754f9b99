#pragma once
// The banner and the usage screens. Each Print* function writes its screen with the wide
// console print and then ends the process with exit status 0; WriteUsageScreen writes the same
// text and returns, so that the text can be checked.

#include "operations/mode_options.h"

namespace hx {

/// The screens that the command line can lead to.
enum class UsageScreen { kMain, kImage, kDiag, kNetImage, kConfig, kDaa };

/// The banner at the top of every usage screen: an empty line, the product line, an empty line.
void PrintBanner();

/// Writes the whole screen, banner first, with program_name (argument 0) in its synopsis.
/// A null program name prints as empty text.
void WriteUsageScreen(UsageScreen screen, const wchar_t* program_name);

/// Writes the screen and ends the process with exit status 0.
[[noreturn]] void ShowUsageAndExit(UsageScreen screen, const wchar_t* program_name);

[[noreturn]] void PrintUsage(const wchar_t* program_name);
[[noreturn]] void PrintImageUsage(const wchar_t* program_name);
[[noreturn]] void PrintDiagUsage(const wchar_t* program_name);
[[noreturn]] void PrintNetImageUsage(const wchar_t* program_name);
[[noreturn]] void PrintConfigUsage(const wchar_t* program_name);
[[noreturn]] void PrintDaaUsage(const wchar_t* program_name);

}  // namespace hx
