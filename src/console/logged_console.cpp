#include "console/logged_console.h"

#include "console/utf8_text.h"

namespace hx {

void LoggedConsole::WriteWide(std::wstring_view text) {
  inner_.WriteWide(text);
  if (!ScopedRecordedOutput::Active()) {
    Record(Utf8FromWide(text));
  }
}

void LoggedConsole::WriteNarrow(std::string_view text) {
  inner_.WriteNarrow(text);
  if (!ScopedRecordedOutput::Active()) {
    Record(Utf8FromAnsi(text));
  }
}

void LoggedConsole::Record(const std::string& text) {
  std::lock_guard lock(mutex_);
  pending_ += text;
  for (std::size_t end = pending_.find('\n'); end != std::string::npos; end = pending_.find('\n')) {
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    std::erase(line, '\r');
    if (!line.empty()) {
      log_.Stage(line);
    }
  }
}

}  // namespace hx
