#include "console/console_io.h"

#include "console/report_error.h"
#include "platform/system_console.h"

namespace hx {
namespace {

ConsoleIo* g_console_override = nullptr;

}  // namespace

ConsoleIo& Console() {
  return g_console_override != nullptr ? *g_console_override : platform::SystemConsole();
}

HRESULT ResultAfterOutput(HRESULT result) {
  const HRESULT output = Console().OutputFailure();
  if (FAILED(result) || SUCCEEDED(output)) {
    return result;
  }
  ReportError("Writing standard output failed!", output);
  return output;
}

ScopedConsole::ScopedConsole(ConsoleIo& replacement) : previous_(g_console_override) {
  g_console_override = &replacement;
}

ScopedConsole::~ScopedConsole() {
  g_console_override = previous_;
}

}  // namespace hx
