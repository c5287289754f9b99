#include "support/recording_console.h"

#include <algorithm>

namespace hx::test {

void RecordingConsole::WriteWide(std::wstring_view text) {
  std::lock_guard lock(mutex_);
  AppendWide(output_, text);
}

void RecordingConsole::AppendWide(std::string& target, std::wstring_view text) {
  for (wchar_t ch : text) {
    target.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
  }
}

void RecordingConsole::WriteNarrow(std::string_view text) {
  std::lock_guard lock(mutex_);
  output_.append(text);
}

void RecordingConsole::WriteErrorLine(std::wstring_view text) {
  std::lock_guard lock(mutex_);
  AppendWide(errors_, text);
  errors_.push_back('\n');
}

void RecordingConsole::WriteNarrowInPlace(std::string_view line) {
  std::lock_guard lock(mutex_);
  output_.append(line);
  output_.append("<back>");
}

int RecordingConsole::ReadChar() {
  std::lock_guard lock(mutex_);
  if (input_position_ >= input_.size()) {
    return -1;
  }
  return static_cast<unsigned char>(input_[input_position_++]);
}

HRESULT RecordingConsole::ReadHiddenLine(std::wstring_view prompt, std::span<wchar_t> dest,
                                         std::size_t& count) {
  std::lock_guard lock(mutex_);
  AppendWide(output_, prompt);
  count = 0;
  if (hidden_position_ >= hidden_lines_.size()) {
    return S_OK;
  }
  const std::wstring line = hidden_lines_[hidden_position_++] + L"\r\n";
  count = std::min(line.size(), dest.size());
  std::copy_n(line.begin(), count, dest.begin());
  return S_OK;
}

std::string RecordingConsole::Output() const {
  std::lock_guard lock(mutex_);
  return output_;
}

std::string RecordingConsole::Errors() const {
  std::lock_guard lock(mutex_);
  return errors_;
}

void RecordingConsole::QueueHiddenLine(std::wstring line) {
  std::lock_guard lock(mutex_);
  hidden_lines_.push_back(std::move(line));
}

int RecordingConsole::HiddenReads() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(hidden_position_);
}

}  // namespace hx::test
