// Program entry on POSIX: the argument vector is made wide with the locale, as the wide entry
// of Windows receives it, and the HRESULT is folded into the 8 bits that an exit status keeps.

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/entry.h"
#include "platform/exit_status.h"

namespace {

std::wstring Widen(const char* text) {
  std::mbstate_t state{};
  std::wstring wide;
  const char* cursor = text;
  const char* const end = text + std::char_traits<char>::length(text);
  while (cursor < end) {
    wchar_t ch = 0;
    const std::size_t used =
        std::mbrtowc(&ch, cursor, static_cast<std::size_t>(end - cursor), &state);
    if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
      // A byte that the locale cannot decode stands for itself, as Latin-1 would have it.
      wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*cursor)));
      state = std::mbstate_t{};
      ++cursor;
      continue;
    }
    wide.push_back(ch);
    cursor += used == 0 ? 1 : used;
  }
  return wide;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::vector<std::wstring> storage;
  storage.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) {
    storage.push_back(Widen(argv[i]));
  }
  std::vector<const wchar_t*> arguments;
  arguments.reserve(storage.size() + 1);
  for (const std::wstring& argument : storage) {
    arguments.push_back(argument.c_str());
  }
  const HRESULT result = hx::RunEntry(arguments);
  return hx::platform::ExitStatusFor(result);
}
