#include <windows.h>

#include <cstdlib>

#include "platform/byte_output.h"
#include "platform/debug_output.h"
#include "platform/win32/handle_output.h"

namespace hx::platform {
namespace {

// The same copy that the POSIX build writes: to the file HX7300_DEBUG_OUTPUT names (appended),
// or to standard error for "stderr".
void WriteCopy(std::wstring_view line) {
  const wchar_t* const target = ::_wgetenv(L"HX7300_DEBUG_OUTPUT");
  if (target == nullptr || *target == L'\0') {
    return;
  }
  std::string bytes = NarrowWithLocale(line);
  if (bytes.empty() || bytes.back() != '\n') {
    bytes.push_back('\n');
  }
  const bool to_stderr = std::wstring_view(target) == L"stderr";
  // Opened per line so that every report lands even if the process ends abruptly.
  const HANDLE file =
      to_stderr ? ::GetStdHandle(STD_ERROR_HANDLE)
                : ::CreateFileW(target, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE || file == nullptr) {
    return;
  }
  WriteAllToHandle(file, bytes);
  if (!to_stderr) {
    ::CloseHandle(file);
  }
}

}  // namespace

void WriteDebugLine(std::wstring_view line) {
  const std::wstring terminated(line);
  ::OutputDebugStringW(terminated.c_str());
  WriteCopy(line);
}

}  // namespace hx::platform
