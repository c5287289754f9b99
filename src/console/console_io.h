#pragma once
// The operator's console: the one place that output is written and input is read.
// The system console is the platform's; tests put a recording console in its place.

#include "platform/hresult.h"
#include "platform/system_console.h"

namespace hx {

/// The console in use: the system console unless a test has put another in its place.
ConsoleIo& Console();

/// A run's result once its output is counted: a run that succeeded although its standard
/// output could not be written ends with the write's failure, reported here. Any other result
/// is returned unchanged.
HRESULT ResultAfterOutput(HRESULT result);

/// Puts a console in place of the system console for the lifetime of this object (tests).
class ScopedConsole {
 public:
  explicit ScopedConsole(ConsoleIo& replacement);
  ~ScopedConsole();
  ScopedConsole(const ScopedConsole&) = delete;
  ScopedConsole& operator=(const ScopedConsole&) = delete;

 private:
  ConsoleIo* previous_;
};

}  // namespace hx
