#pragma once
// Result codes the utility produces by name, and the folding of platform error numbers.

#include <cstdint>

#include "win_types.h"

namespace hx {

/// Windows error numbers that the utility produces or translates to.
enum : std::uint32_t {
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorAccessDenied = 5,
  kErrorInvalidHandle = 6,
  kErrorNotEnoughMemory = 8,
  kErrorOutOfMemory = 14,
  kErrorNotReady = 21,
  kErrorCrc = 23,
  kErrorSharingViolation = 32,
  kErrorHandleEof = 38,
  kErrorNotSupported = 50,
  kErrorInvalidParameter = 87,
  kErrorInsufficientBuffer = 122,
  kErrorBusy = 170,
  kErrorAlreadyExists = 183,
  kErrorFilenameTooLong = 206,
  kErrorFileTooLarge = 223,
  kErrorFileInvalid = 1006,
  kErrorNoUnicodeTranslation = 1113,
  kErrorIoDevice = 1117,
  kErrorDeviceNotConnected = 1167,
  kErrorNotFound = 1168,
  kErrorTimeout = 1460,
  kErrorCannotResolveFilename = 1921,
};

/// A platform error number as an HRESULT: a positive number e gives 0x80070000 | (e & 0xFFFF),
/// any other value is taken unchanged.
constexpr HRESULT HresultFromError(std::int64_t error) {
  if (error > 0) {
    return static_cast<HRESULT>(0x80070000u | (static_cast<std::uint32_t>(error) & 0xFFFFu));
  }
  return static_cast<HRESULT>(error);
}

inline constexpr HRESULT kHrInsufficientBuffer = HresultFromError(kErrorInsufficientBuffer);
inline constexpr HRESULT kHrEndOfFile = HresultFromError(kErrorHandleEof);
inline constexpr HRESULT kHrNotFound = HresultFromError(kErrorNotFound);
inline constexpr HRESULT kHrDeviceNotReady = HresultFromError(kErrorNotReady);
inline constexpr HRESULT kHrDeviceNotConnected = HresultFromError(kErrorDeviceNotConnected);
inline constexpr HRESULT kHrDataError = HresultFromError(kErrorCrc);
inline constexpr HRESULT kHrTimeout = HresultFromError(kErrorTimeout);
inline constexpr HRESULT kHrFileTooLarge = HresultFromError(kErrorFileTooLarge);
inline constexpr HRESULT kHrFileChanged = HresultFromError(kErrorFileInvalid);
inline constexpr HRESULT kHrBusy = HresultFromError(kErrorBusy);

}  // namespace hx
