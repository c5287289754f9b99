#pragma once
// A directory that keeps a program's state as files, safe to keep in a place that others can
// write to: every file is reached relative to the opened directory without following a
// symbolic link (or, on Windows, a reparse point), is created for the owner alone, and is
// replaced in one step. On POSIX the directory is created 0700 and files 0600.
//
// Threading: Open, before anything else, on one thread; once open, the directory may be used
// from several threads at once (each call stands alone, relative to the directory held open).
// A file object is used by one thread at a time.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hresult.h"

namespace hx {

/// 0x8007010B: a name that should be a directory is something else.
inline constexpr HRESULT kHrNotADirectory = HresultFromError(267);

/// A file of the state directory, open for writing.
class CStateFile {
 public:
  CStateFile() = default;
  ~CStateFile();
  CStateFile(const CStateFile&) = delete;
  CStateFile& operator=(const CStateFile&) = delete;

  /// Writes every byte; the platform's failure (0x80070070 for a full disk) when it cannot.
  HRESULT Write(std::span<const std::uint8_t> bytes);
  /// Returns once every byte written is on the disk, so that it survives a crash or a power
  /// cut; the platform's failure when it cannot be made so.
  HRESULT Sync();
  /// Closes the file; the failure of the close, or S_OK. Safe when nothing is open.
  HRESULT Close();
  bool IsOpen() const { return handle_ >= 0; }

 private:
  friend class CStateDirectory;
  std::intptr_t handle_ = -1;
};

/// A file of the state directory, open for reading. It reads the file it opened to its end
/// whatever is renamed over its name meanwhile.
class CStateFileReader {
 public:
  CStateFileReader() = default;
  ~CStateFileReader();
  CStateFileReader(CStateFileReader&& other) noexcept : handle_(other.handle_) {
    other.handle_ = -1;
  }
  CStateFileReader& operator=(CStateFileReader&& other) noexcept;
  CStateFileReader(const CStateFileReader&) = delete;
  CStateFileReader& operator=(const CStateFileReader&) = delete;

  /// Reads the next bytes into buffer; read receives how many, 0 at the file's end.
  HRESULT Read(std::span<std::uint8_t> buffer, std::size_t& read);
  /// The file's length now.
  HRESULT Size(std::uint64_t& size) const;
  bool IsOpen() const { return handle_ >= 0; }

 private:
  friend class CStateDirectory;
  void Close();
  std::intptr_t handle_ = -1;
};

class CStateDirectory {
 public:
  /// What a name in the directory is, the name itself and not what a link points at.
  enum class EntryKind { kAbsent, kFile, kDirectory, kLink, kOther };

  CStateDirectory() = default;
  ~CStateDirectory();
  CStateDirectory(const CStateDirectory&) = delete;
  CStateDirectory& operator=(const CStateDirectory&) = delete;

  /// Opens path as the state directory, creating it for the owner alone (and any missing
  /// parents) when it does not exist. A path that names something other than a directory is
  /// refused with 0x8007010B; other failures are the platform's. The path itself may be a link
  /// to a directory: the caller named it.
  HRESULT Open(const std::string& path);
  bool IsOpen() const { return handle_ >= 0; }

  /// What name is, without following a link; kAbsent also when it cannot be looked at.
  EntryKind Inspect(std::string_view name) const;
  /// Opens the regular file name for reading: 0x80070002 when there is none, 0x80070781 when
  /// name is a link (never followed), 0x80070032 when it is neither a file nor a link.
  HRESULT OpenForReading(std::string_view name, CStateFileReader& reader) const;
  /// The whole contents of the regular file name; fails as OpenForReading does. For the small
  /// files that are read whole.
  HRESULT Read(std::string_view name, std::vector<std::uint8_t>& contents) const;
  /// Creates name afresh, for the owner alone, and opens it for writing. A file or link of
  /// that name is removed first and never written through; a directory there is refused
  /// (0x80070005).
  HRESULT Create(std::string_view name, CStateFile& file);
  /// Renames from to to in one step: a reader sees the old to or the new one. A link named to
  /// is replaced, not followed.
  HRESULT Replace(std::string_view from, std::string_view to);
  /// Removes the file or link name; a name that is absent is no failure.
  HRESULT Remove(std::string_view name);
  /// Returns once the directory's entries as they are now (files created, replaced and
  /// removed) are on the disk, so that they survive a crash or a power cut.
  HRESULT Sync();

 private:
  std::intptr_t handle_ = -1;
};

}  // namespace hx
