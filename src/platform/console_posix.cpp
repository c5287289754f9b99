// SKELETON-STUB: replaced by the POSIX console.
#include <cstdio>

#include "platform/system_console.h"

namespace hx::platform {
namespace {
class StubConsole final : public ConsoleIo {
 public:
  void WriteWide(std::wstring_view) override {}
  void WriteNarrow(std::string_view text) override {
    std::fwrite(text.data(), 1, text.size(), stdout);
  }
  void WriteNarrowInPlace(std::string_view line) override { WriteNarrow(line); }
  int ReadChar() override { return std::getchar(); }
  HRESULT ReadHiddenLine(std::span<wchar_t>, std::size_t&) override { return E_NOTIMPL; }
};
}  // namespace
ConsoleIo& SystemConsole() {
  static StubConsole console;
  return console;
}
}  // namespace hx::platform
