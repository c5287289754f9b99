#pragma once
// A console for tests: records every byte written (wide text narrowed as ASCII, which is all
// the utility's own texts use) and feeds scripted input.

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "console/console_io.h"

namespace hx::test {

class RecordingConsole final : public ConsoleIo {
 public:
  /// input: what standard input holds; hidden_lines: the lines typed at echo-off prompts,
  /// each without its line end.
  explicit RecordingConsole(std::string input = {}) : input_(std::move(input)) {}

  void WriteWide(std::wstring_view text) override;
  void WriteNarrow(std::string_view text) override;
  void WriteNarrowInPlace(std::string_view line) override;
  void WriteErrorLine(std::wstring_view text) override;
  HRESULT OutputFailure() const override { return S_OK; }
  int ReadChar() override;
  HRESULT ReadHiddenLine(std::wstring_view prompt, std::span<wchar_t> dest,
                         std::size_t& count) override;

  /// Everything written so far; in-place lines are followed by the marker "<back>".
  std::string Output() const;
  /// The lines written to standard error, each with "\n".
  std::string Errors() const;
  /// Lines that ReadHiddenLine gives out, in order; at their end it reports end of input.
  void QueueHiddenLine(std::wstring line);
  int HiddenReads() const;

 private:
  static void AppendWide(std::string& target, std::wstring_view text);

  mutable std::mutex mutex_;
  std::string output_;
  std::string errors_;
  std::string input_;
  std::size_t input_position_ = 0;
  std::vector<std::wstring> hidden_lines_;
  std::size_t hidden_position_ = 0;
};

}  // namespace hx::test
