#pragma once
// C runtime error numbers (errno) are translated once, where they arise, to the Windows error
// numbers that mean the same, so that a result code reads the same on every platform.

#include <cstdint>

#include "platform/hresult.h"

namespace hx::platform {

/// The Windows error number for a POSIX errno value; an errno without an equivalent (and 0,
/// which is no error at all) gives 31, a general failure, so that a failure never reads as
/// success.
std::uint32_t Win32ErrorFromErrno(int e);

/// The translated errno folded into an HRESULT (0x80070000 | the Windows error number).
HRESULT HresultFromErrno(int e);

}  // namespace hx::platform
