// Program entry on POSIX: the argument vector is made wide with the locale, as the wide entry
// of Windows receives it (undecodable bytes kept, so that any file name still opens), and the
// HRESULT is folded into the 8 bits that an exit status keeps.

#include <string>
#include <vector>

#include "app/entry.h"
#include "platform/exit_status.h"
#include "platform/locale_text.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  hx::platform::PrepareProcess();
  std::vector<std::wstring> storage;
  storage.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) {
    storage.push_back(hx::platform::WidenLocaleText(argv[i]));
  }
  std::vector<const wchar_t*> arguments;
  arguments.reserve(storage.size() + 1);
  for (const std::wstring& argument : storage) {
    arguments.push_back(argument.c_str());
  }
  return hx::platform::ProcessExitStatus(hx::RunEntry(arguments));
}
