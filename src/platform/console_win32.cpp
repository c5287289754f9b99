// The process's console on Windows. Wide text goes to a console through WriteConsoleW, so every
// character shows as it is; to a file or pipe it goes as bytes in the system ANSI code page,
// written with WriteFile and never through the C runtime, whose text mode would turn "\r\n"
// into "\r\r\n". 8-bit text is written as its bytes either way.
#include <windows.h>

#include <array>
#include <string>

#include "platform/byte_output.h"
#include "platform/console_system.h"
#include "platform/file_handle.h"
#include "platform/secure_wipe.h"
#include "platform/win32/handle_output.h"

namespace hx::platform {
namespace {

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return ::GetConsoleMode(handle, &mode) != 0;
}

HANDLE StandardOutput() {
  return ::GetStdHandle(STD_OUTPUT_HANDLE);
}

HRESULT WriteConsoleText(HANDLE handle, std::wstring_view text) {
  while (!text.empty()) {
    DWORD written = 0;
    if (!::WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
      return HresultFromError(::GetLastError());
    }
    text.remove_prefix(written);
  }
  return S_OK;
}

// Reads and drops what is left of a typed line, so that the rest of an over-long passcode is
// neither read by the next prompt nor left for the shell to run as a command.
HRESULT DropRestOfLine(HANDLE input) {
  std::array<wchar_t, 64> rest{};
  HRESULT hr = S_OK;
  for (;;) {
    DWORD got = 0;
    if (!::ReadConsoleW(input, rest.data(), static_cast<DWORD>(rest.size()), &got, nullptr)) {
      hr = HresultFromError(::GetLastError());
      break;
    }
    if (got == 0 || rest[got - 1] == L'\n') {
      break;
    }
  }
  SecureWipe(std::span(rest));
  return hr;
}

}  // namespace

// Bytes as the C runtime reads them, from a console as from a file or a pipe.
HRESULT ReadStandardInput(std::span<std::uint8_t> buffer, std::size_t& got, bool& from_console) {
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  from_console = IsConsole(input);
  return ReadFromFile(reinterpret_cast<std::intptr_t>(input), buffer, got);
}

HRESULT WriteWideToOutput(std::wstring_view text) {
  const HANDLE output = StandardOutput();
  return IsConsole(output) ? WriteConsoleText(output, text)
                           : WriteAllToHandle(output, NarrowWithLocale(text));
}

HRESULT WriteNarrowToOutput(std::string_view text) {
  return WriteAllToHandle(StandardOutput(), text);
}

HRESULT WriteNarrowInPlaceToOutput(std::string_view line) {
  const HANDLE output = StandardOutput();
  CONSOLE_SCREEN_BUFFER_INFO info{};
  const bool console = ::GetConsoleScreenBufferInfo(output, &info) != 0;
  const HRESULT written = WriteNarrowToOutput(line);
  if (console) {
    ::SetConsoleCursorPosition(output, info.dwCursorPosition);
  }
  return written;
}

void WriteLineToError(std::wstring_view text) {
  const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  const std::wstring line = std::wstring(text).append(L"\r\n");
  if (IsConsole(error)) {
    WriteConsoleText(error, line);
  } else {
    WriteAllToHandle(error, NarrowWithLocale(line));
  }
}

// The console gives the typed line itself, "\r\n" and all.
HRESULT ReadTypedLine(StdinBuffer& /*input*/, std::span<wchar_t> dest, std::size_t& count) {
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD got = 0;
  HRESULT read = S_OK;
  if (!::ReadConsoleW(input, dest.data(), static_cast<DWORD>(dest.size()), &got, nullptr)) {
    read = HresultFromError(::GetLastError());
  } else if (got != 0 && dest[got - 1] != L'\n') {
    read = DropRestOfLine(input);
  }
  count = got;
  return read;
}

}  // namespace hx::platform
