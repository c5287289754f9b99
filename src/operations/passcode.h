#pragma once
// The passcode dialogue: the operator types the device passcode with echo off and the device
// alone decides whether it is right. Nothing here prints a failure; callers report it.

#include <cstdint>

#include "device/capture_device.h"
#include "platform/hresult.h"
#include "protocol/passcode_text.h"

namespace hx {

/// The prompt's buffer: the longest passcode and its terminator.
inline constexpr std::size_t kPasscodeCapacity = kMaxPasscodeLength + 1;

/// Prompts for the passcode and has the device validate it for the operation of `opcode`.
/// Returns the device's Status when it refuses.
HRESULT ValidatePasscode(std::uint8_t opcode, CDuzuVideoCaptureDevice& device);
/// Reads the current passcode and the new one twice, has the current one validated for the
/// system configuration opcode, then sends the new one.
HRESULT ChangePasscode(CDuzuVideoCaptureDevice& device);
/// Sends one validation request and waits for the device's verdict.
HRESULT SendValidatePasscode(const wchar_t* passcode, std::uint8_t opcode,
                             CDuzuVideoCaptureDevice& device);
/// Sends the new passcode and waits for the device's verdict.
HRESULT SendChangePasscode(const wchar_t* new_passcode, CDuzuVideoCaptureDevice& device);

}  // namespace hx
