#pragma once

#include "platform/hresult.h"

namespace hx::platform {

/// The exit status that 8 bits can carry for a run's result: 0 for 0, else the low byte, or 1
/// when that byte is 0, so that no failure ever exits with 0.
constexpr int ExitStatusFor(HRESULT result) {
  if (result == 0) {
    return 0;
  }
  const int low_byte = static_cast<int>(static_cast<std::uint32_t>(result) & 0xFFu);
  return low_byte != 0 ? low_byte : 1;
}

/// The process exit status for a run's result on this platform: the whole HRESULT on Windows,
/// ExitStatusFor on POSIX.
int ProcessExitStatus(HRESULT result);

}  // namespace hx::platform
