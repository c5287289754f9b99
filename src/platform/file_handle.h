#pragma once
// The calls on an open file that every system makes alike, on the system's handle of it held
// as an integer (a descriptor on POSIX, a HANDLE on Windows). Failures are the system's,
// translated to Windows error numbers.

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/hresult.h"

namespace hx::platform {

/// Closes file: S_OK, or the failure of the close.
HRESULT CloseFile(std::intptr_t file);
/// Reads the next bytes of file into buffer; read receives how many, 0 at the file's end.
HRESULT ReadFromFile(std::intptr_t file, std::span<std::uint8_t> buffer, std::size_t& read);
/// Writes every byte to file (0x80070070 for a full disk).
HRESULT WriteToFile(std::intptr_t file, std::span<const std::uint8_t> bytes);
/// Returns once every byte written to file is on the disk.
HRESULT SyncFile(std::intptr_t file);
/// file's length now.
HRESULT FileSize(std::intptr_t file, std::uint64_t& size);

}  // namespace hx::platform
