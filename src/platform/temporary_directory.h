#pragma once
// A private directory in the system's temporary directory, for state that is to last as long
// as a program runs: made afresh for the owner alone (never one that was there before, which
// someone else could have put there) and removed, with the files in it, when it goes.

#include <string>

#include "platform/hresult.h"

namespace hx {

class CTemporaryDirectory {
 public:
  CTemporaryDirectory() = default;
  /// Removes the files in the directory (not directories in it) and the directory itself.
  ~CTemporaryDirectory();
  CTemporaryDirectory(const CTemporaryDirectory&) = delete;
  CTemporaryDirectory& operator=(const CTemporaryDirectory&) = delete;

  /// Makes the directory, its name prefix and a unique ending; the platform's failure when it
  /// cannot. Once only.
  HRESULT Create(const std::string& prefix);
  /// Its path; empty until made.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace hx
