#pragma once
// The calls on an open file that every system has, each making them its own way, on the
// system's handle of it held as an integer (a descriptor on POSIX, a HANDLE on Windows).
// Failures are the system's, translated to Windows error numbers.

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/hresult.h"

namespace hx::platform {

/// What identifies a file's contents: the file itself, its size and its last write.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  std::uint64_t size = 0;
  std::uint64_t written = 0;

  bool operator==(const FileIdentity&) const = default;
};

/// Closes file: S_OK, or the failure of the close.
HRESULT CloseFile(std::intptr_t file);
/// Reads the next bytes of file into buffer; read receives how many, 0 at the file's end.
HRESULT ReadFromFile(std::intptr_t file, std::span<std::uint8_t> buffer, std::size_t& read);
/// Reads file from offset into buffer in one read, which fills it unless the file ends first;
/// got receives how many bytes were read.
HRESULT ReadFileAt(std::intptr_t file, std::uint64_t offset, std::span<std::uint8_t> buffer,
                   std::size_t& got);
/// Writes every byte to file (0x80070070 for a full disk).
HRESULT WriteToFile(std::intptr_t file, std::span<const std::uint8_t> bytes);
/// Returns once every byte written to file is on the disk.
HRESULT SyncFile(std::intptr_t file);
/// file's length now.
HRESULT FileSize(std::intptr_t file, std::uint64_t& size);
/// What identifies file's contents now.
HRESULT IdentifyFile(std::intptr_t file, FileIdentity& identity);

}  // namespace hx::platform
