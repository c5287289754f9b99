#pragma once
// HX7300_DEVICE: which backend the device object opens.

#include <memory>
#include <string_view>

#include "device/channel.h"
#include "platform/hresult.h"

namespace hx {

/// Makes the channel that the value of HX7300_DEVICE names (absent or empty: the platform's
/// own discovery). An unknown value gives E_INVALIDARG.
HRESULT MakeChannelFor(const char* device_variable, std::unique_ptr<XuChannel>& channel);

/// The default channel factory: MakeChannelFor with the environment's HX7300_DEVICE.
HRESULT MakeChannelFromEnvironment(std::unique_ptr<XuChannel>& channel);

}  // namespace hx
