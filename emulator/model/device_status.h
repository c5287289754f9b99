#pragma once
// The failure codes the firmware puts in the Status field of its replies, and the result of a
// transfer the device stalls.

#include <cstdint>

#include "platform/hresult.h"

namespace hx::emu {

inline constexpr std::int32_t kStatusAccessDenied = HresultFromError(kErrorAccessDenied);
inline constexpr std::int32_t kStatusInvalidArgument = HresultFromError(kErrorInvalidParameter);
/// The request's data do not fit the transfer (sequence, block number or size).
inline constexpr std::int32_t kStatusDataError = kHrDataError;
inline constexpr std::int32_t kStatusWrongPassword = HresultFromError(1323);
/// A boot loader or main image announced before its signature was uploaded.
inline constexpr std::int32_t kStatusNoSignature = static_cast<std::int32_t>(0x800B0100u);
inline constexpr std::int32_t kStatusFailed = E_FAIL;
/// A file the request names is not on the device.
inline constexpr std::int32_t kStatusFileNotFound = HresultFromError(kErrorFileNotFound);
/// The configuration file is not well-formed XML.
inline constexpr std::int32_t kStatusXmlParseError = HresultFromError(1465);
/// A command the device does not carry out.
inline constexpr std::int32_t kStatusNotSupported = HresultFromError(kErrorNotSupported);

/// A control transfer the device stalls: the host's driver reports a general failure.
inline constexpr HRESULT kTransferStalled = HresultFromError(31);

}  // namespace hx::emu
