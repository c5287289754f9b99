#pragma once

#include "console/console_io.h"

namespace hx::platform {

/// The process's own console: standard output, standard input and the terminal.
ConsoleIo& SystemConsole();

}  // namespace hx::platform
