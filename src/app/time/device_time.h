#pragma once
// The device's terms for the PC's time: its zone index and the pair of times (UTC and local)
// that the cfg time request carries. Nothing here prints; the cfg parser returns the failure.

#include <cstdint>

#include "platform/hresult.h"
#include "platform/pc_time.h"

namespace hx {

/// Finds the device zone index (0 to 300) of the PC's current time zone: the first entry of
/// the zone index table whose name is the zone's standard name without regard to case, or,
/// where the system keeps it in the registry, the zone's "Index" value. On any failure the
/// index is -1 and the result says why: the system's or the registry's error, or E_INVALIDARG
/// for a zone that has no named entry.
HRESULT ResolveZoneIndex(std::int32_t& index);
HRESULT ResolveZoneIndex(platform::PcTime& pc, std::int32_t& index);

/// 0x80070216 (arithmetic overflow): a field of a given time has digits above 65535.
inline constexpr HRESULT kHrTimeFieldTooLarge = HresultFromError(534);

/// Turns the value of "-t:" into the UTC time and the local time to set on the device. The
/// value is "now" in any case, or a date and time at fixed positions, "YYYY-MM-DDLhh:mm:ss"
/// for local time or with "U" at position 10 for UTC. The given time fills its record
/// (milliseconds 0, day of week left as it was); the other record is converted from it by the
/// PC's zone, day of week included. Each field is read as the C library reads a decimal number
/// (blanks, a sign, digits) and kept in 16 bits; kHrTimeFieldTooLarge when its digits exceed
/// 65535. E_INVALIDARG for a value of neither form; the system's error when the time cannot
/// be converted.
HRESULT ResolveDeviceTime(const wchar_t* value, SYSTEMTIME& utc, SYSTEMTIME& local);
HRESULT ResolveDeviceTime(platform::PcTime& pc, const wchar_t* value, SYSTEMTIME& utc,
                          SYSTEMTIME& local);

}  // namespace hx
