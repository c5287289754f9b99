#pragma once
// The mode handlers: each is given the parsed options and the opened device, and returns the
// result that becomes the exit status.

#include "device/capture_device.h"
#include "operations/mode_options.h"
#include "platform/hresult.h"

namespace hx {

HRESULT HandleImageUpdateMode(const ModeOptions& options, CDuzuVideoCaptureDevice& device);
HRESULT HandleDiagServerConfig(const ModeOptions& options, CDuzuVideoCaptureDevice& device);
HRESULT HandleNetImageUpdateMode(const ModeOptions& options, CDuzuVideoCaptureDevice& device);
HRESULT HandleSystemConfigMode(const ModeOptions& options, CDuzuVideoCaptureDevice& device);
HRESULT HandleDAAReadMode(const ModeOptions& options, CDuzuVideoCaptureDevice& device);

}  // namespace hx
