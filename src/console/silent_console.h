#pragma once
// A console that writes nothing and has no input: for programs that drive the operations
// without an operator, such as the benchmark and the fuzz targets.

#include "console/console_io.h"

namespace hx {

class SilentConsole final : public ConsoleIo {
 public:
  void WriteWide(std::wstring_view) override {}
  void WriteNarrow(std::string_view) override {}
  void WriteNarrowInPlace(std::string_view) override {}
  void WriteErrorLine(std::wstring_view) override {}
  HRESULT OutputFailure() const override { return S_OK; }
  int ReadChar() override { return -1; }
  HRESULT ReadHiddenLine(std::wstring_view, std::span<wchar_t>, std::size_t& count) override {
    count = 0;
    return S_OK;
  }
};

}  // namespace hx
