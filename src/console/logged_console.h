#pragma once
// A console that records each whole line the run prints as a stage of the run log, and passes
// everything on to the console it stands in front of.

#include <mutex>
#include <string>

#include "console/console_io.h"
#include "console/run_log.h"

namespace hx {

class LoggedConsole final : public ConsoleIo {
 public:
  LoggedConsole(ConsoleIo& inner, RunLog& log) : inner_(inner), log_(log) {}

  void WriteWide(std::wstring_view text) override;
  void WriteNarrow(std::string_view text) override;
  /// Progress lines are recorded as progress, by those who print them.
  void WriteNarrowInPlace(std::string_view line) override { inner_.WriteNarrowInPlace(line); }
  void WriteErrorLine(std::wstring_view text) override { inner_.WriteErrorLine(text); }
  int ReadChar() override { return inner_.ReadChar(); }
  HRESULT OutputFailure() const override { return inner_.OutputFailure(); }
  /// The prompt is no stage of the run.
  HRESULT ReadHiddenLine(std::wstring_view prompt, std::span<wchar_t> dest,
                         std::size_t& count) override {
    return inner_.ReadHiddenLine(prompt, dest, count);
  }

 private:
  void Record(const std::string& text);

  ConsoleIo& inner_;
  RunLog& log_;
  std::mutex mutex_;
  std::string pending_;  ///< printed text that no line end has closed yet
};

}  // namespace hx
