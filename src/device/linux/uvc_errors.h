#pragma once
// The results of uvcvideo's calls, translated once, where they arise.

#include "platform/hresult.h"

namespace hx::uvc {

/// The HRESULT for an errno that a uvcvideo node gave. The driver's own meanings come first
/// (a stall, a wrong size, the device gone); everything else reads as on every other path.
HRESULT ResultFromErrno(int e);

}  // namespace hx::uvc
