#pragma once
// A file that a run appends its records to: created for its owner alone when missing, each
// write added at its end in one piece, so that runs sharing it never tear each other's lines.
// A file that holds one run's records alone is emptied when opened instead.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/hresult.h"

namespace hx::platform {

class CAppendFile {
 public:
  CAppendFile() = default;
  ~CAppendFile();
  CAppendFile(const CAppendFile&) = delete;
  CAppendFile& operator=(const CAppendFile&) = delete;

  enum class Start { kAtEnd, kEmpty };

  /// Opens path for appending, creating it when missing and, with Start::kEmpty, emptying it;
  /// the system's failure when it cannot.
  HRESULT Open(const std::wstring& path, Start start = Start::kAtEnd);
  /// Adds bytes at the end of the file; the system's failure (0x80070070 for a full disk) when
  /// not all of them could be written.
  HRESULT Append(std::string_view bytes);

 private:
  std::intptr_t handle_ = -1;
};

}  // namespace hx::platform
