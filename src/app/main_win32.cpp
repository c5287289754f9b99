// Program entry on Windows: the wide argument vector as the system gives it, and the HRESULT
// itself as the exit status.

#include <vector>

#include "app/entry.h"
#include "platform/exit_status.h"
#include "platform/process.h"

int wmain(int argc, wchar_t** argv) {
  hx::platform::PrepareProcess();
  const std::vector<const wchar_t*> arguments(argv, argv + argc);
  return hx::platform::ProcessExitStatus(hx::RunEntry(arguments));
}
