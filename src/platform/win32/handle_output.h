#pragma once
// Bytes written whole to a Windows handle: the one write loop that the Windows console, the
// descriptor output and the debugger copy share.

#include <windows.h>

#include <string_view>

namespace hx::platform {

/// Writes every byte; S_OK, or the system's error for the write that failed (0x800700E8 for a
/// pipe whose reader has gone, 0x80070070 for a full disk).
HRESULT WriteAllToHandle(HANDLE handle, std::string_view bytes);

}  // namespace hx::platform
