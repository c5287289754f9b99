#pragma once

#include "platform/hresult.h"

namespace hx::platform {

/// The process exit status for a run's result. Windows keeps the whole HRESULT. POSIX keeps
/// only 8 bits: 0 for 0, else the low byte, or 1 when that byte is 0, so that no failure ever
/// exits with 0.
constexpr int ExitStatusFor(HRESULT result) {
  if (result == 0) {
    return 0;
  }
  const int low_byte = static_cast<int>(static_cast<std::uint32_t>(result) & 0xFFu);
  return low_byte != 0 ? low_byte : 1;
}

}  // namespace hx::platform
