#pragma once
// The debugger output channel: lines for a developer watching the run, never for the operator.

#include <string_view>

namespace hx::platform {

/// Sends one line to the debugger output. On POSIX the line goes to the file named by the
/// environment variable HX7300_DEBUG_OUTPUT (appended), or to standard error when it says
/// "stderr"; without it the line is dropped. It never goes to standard output. Each line ends
/// up on a line of its own, as a debugger shows each output call.
void WriteDebugLine(std::wstring_view line);

}  // namespace hx::platform
