#pragma once
// The device's terms for the PC's time: its zone index and the pair of times (UTC and local)
// that the cfg time request carries.

#include <cstdint>

#include "platform/hresult.h"

namespace hx {

/// Finds the device zone index (0 to 300) of the PC's current time zone. On any failure the
/// index is -1 and the result says why (E_INVALIDARG for a zone the device does not know).
HRESULT ResolveZoneIndex(std::int32_t& index);

/// Turns the value of "-t:" ("now" in any case, or a date and time marked "L" for local or "U"
/// for UTC at position 10) into the UTC time and the local time to set on the device.
HRESULT ResolveDeviceTime(const wchar_t* value, SYSTEMTIME& utc, SYSTEMTIME& local);

}  // namespace hx
