// Program entry on Windows: the wide argument vector as the system gives it, and the HRESULT
// itself as the exit status.
#include <objbase.h>
#include <windows.h>

#include <vector>

#include "app/entry.h"
#include "platform/exit_status.h"

int wmain(int argc, wchar_t** argv) {
  // The component runtime, single-threaded apartment, for the device discovery; it stays
  // initialised until the process ends. A failure shows up when the device is opened.
  ::CoInitialize(nullptr);
  const std::vector<const wchar_t*> arguments(argv, argv + argc);
  return hx::platform::ProcessExitStatus(hx::RunEntry(arguments));
}
