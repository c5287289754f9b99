#pragma once
// A file opened for reading and viewed whole, read-only. Reads from the view are checked:
// a file that another program truncates or rewrites while it is viewed makes the read fail
// with 0x800703EE instead of bringing the process down.

#include <cstdint>
#include <memory>
#include <span>

#include "platform/hresult.h"

namespace hx {

class CReadOnlyFileView {
 public:
  CReadOnlyFileView();
  ~CReadOnlyFileView();
  CReadOnlyFileView(const CReadOnlyFileView&) = delete;
  CReadOnlyFileView& operator=(const CReadOnlyFileView&) = delete;

  /// Opens an existing regular file for reading, letting others read it too. Anything else is
  /// refused at once, without waiting for a peer and before any side effect of opening it: a
  /// directory with 0x80070005, as Windows refuses to open one as a file; a pipe, a device or
  /// a socket with 0x80070032 (not supported), as no such item can be viewed. Each refusal is
  /// explained on the debugger output, naming the path and what it is.
  HRESULT Open(const wchar_t* path);
  /// The file's size in bytes.
  HRESULT QuerySize(std::uint64_t& size);
  /// Makes the read-only view of the whole file. An empty file cannot be viewed (0x800703EE).
  HRESULT MapView();
  /// Copies dest.size() bytes of the view from offset into dest.
  HRESULT CopyOut(std::uint64_t offset, std::span<std::uint8_t> dest);
  /// Fails with 0x800703EE when the file has been changed since the view was made.
  HRESULT CheckUnchanged();
  /// Releases the view and the file; safe when nothing is open.
  void Close();
  bool IsOpen() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace hx
