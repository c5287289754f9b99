#pragma once
// The cfg mode: one device configuration command per run, after the operator's passcode.

#include "device/capture_device.h"
#include "platform/hresult.h"

namespace hx {

/// Prints the reboot line and writes the reboot request: command 2 for variant 0, command 4
/// for any other variant. No reply is awaited. Returns the write's result.
HRESULT SendRebootRequest(CDuzuVideoCaptureDevice& device, int variant);

}  // namespace hx
