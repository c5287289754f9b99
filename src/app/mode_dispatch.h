#pragma once
// Mode selection: the first argument "-m:<mode>" picks the mode, "-help" as the second argument
// asks for that mode's usage screen, and otherwise the mode's parser reads the rest.

#include "app/option_parsers.h"
#include "app/usage_screens.h"
#include "operations/mode_options.h"
#include "platform/hresult.h"

namespace hx {

/// Shows a usage screen for a program name. The program's sink (ShowUsageAndExit) ends the
/// process; a sink that returns (tests, fuzzing) lets ParseModeArguments return S_FALSE.
using UsageSink = void (*)(UsageScreen screen, const wchar_t* program_name);

/// The keyword of the mode a ModeCode belongs to ("img", "cfg" for every cfg variant, ...);
/// empty text for no mode.
std::wstring_view ModeKeyword(std::int32_t mode_code);

/// Argument 0, the program name as typed; empty text when the vector is empty.
const wchar_t* ProgramName(ArgumentVector arguments);

/// Selects the mode into options.ModeCode (-1 when the keyword is unknown) and runs its parser.
/// Returns S_OK when the mode's parser accepted the command line and E_INVALIDARG (or the
/// parser's failure) when the command line is refused, for which the entry shows the main
/// screen; refusal then says why. For a known mode with "-help" as second argument it shows
/// that mode's screen through show_usage, which does not return in the program; S_FALSE when
/// it does.
HRESULT ParseModeArguments(ArgumentVector arguments, ModeOptions& options, UsageSink show_usage,
                           CommandLineRefusal& refusal);

}  // namespace hx
