#pragma once

#include "device/capture_device.h"
#include "operations/image_update.h"
#include "platform/hresult.h"

namespace hx {

/// One transfer, read on the calling thread: writes the info packet, then reads every reply
/// the device announces, handing those that move the transfer on to the worker, until the
/// flush is echoed (S_OK), the device reports a failure (its Status), or the worker stops on
/// a failure (that failure).
HRESULT XUEchoThread(CDuzuVideoCaptureDevice& device, CImageUpdate& update);

}  // namespace hx
