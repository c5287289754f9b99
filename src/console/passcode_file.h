#pragma once
// The passcodes of a run that nobody attends (HX7300_PASSCODE_FILE): read from a file instead
// of being typed, one a line in the order the run asks for them, under the same rules.

#include <array>
#include <cstddef>
#include <span>
#include <string>

#include "platform/hresult.h"

namespace hx {

class CPasscodeFile {
 public:
  CPasscodeFile() = default;
  /// Every byte the file held is wiped.
  ~CPasscodeFile();
  CPasscodeFile(const CPasscodeFile&) = delete;
  CPasscodeFile& operator=(const CPasscodeFile&) = delete;

  /// Reads the file at path, which only its owner may read; the refusal, with why in problem,
  /// when it cannot be used.
  HRESULT Open(const std::wstring& path, std::string& problem);
  /// The next line into dest as a console gives a typed line: its characters, then "\r\n";
  /// a line end in the file is not part of it. count is 0 when the file has no more lines,
  /// dest.size() when the line does not fit.
  void NextLine(std::span<wchar_t> dest, std::size_t& count);

 private:
  // Three passcodes of 15 characters, each at most four bytes, with their line ends.
  std::array<char, 256> bytes_{};
  std::size_t size_ = 0;
  std::size_t position_ = 0;
};

/// Has ReadPasscode take its lines from file, for the lifetime of this object.
class ScopedPasscodeFile {
 public:
  explicit ScopedPasscodeFile(CPasscodeFile& file);
  ~ScopedPasscodeFile();
  ScopedPasscodeFile(const ScopedPasscodeFile&) = delete;
  ScopedPasscodeFile& operator=(const ScopedPasscodeFile&) = delete;
};

/// The file passcodes come from, or null when they are typed at the console.
CPasscodeFile* PasscodeFileInUse();

}  // namespace hx
