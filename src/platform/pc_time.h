#pragma once
// The PC's clock and time zone as the device's clock is set from them: the zone's standard
// name, the conversions between local time and UTC under the zone's own daylight-saving rules,
// the current time, and, on Windows before major version 6, the zone's index in the registry.
//
// Windows: GetTimeZoneInformation, TzSpecificLocalTimeToSystemTime and its reverse, GetLocalTime,
// GetSystemTime, GetVersionExW and the time-zone registry keys. POSIX: the system's default zone
// as ICU finds it (TZ, then /etc/localtime), named by its Windows zone id, with the zone
// database's rules for that zone and that date.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/hresult.h"

namespace hx::platform {

/// The PC's time zone as it was read at one moment.
class PcTimeZone {
 public:
  virtual ~PcTimeZone() = default;
  /// The system's name of the zone in its standard time ("W. Europe Standard Time"); empty
  /// when the zone has none.
  virtual const std::wstring& StandardName() const = 0;
  /// Converts a local time of this zone to UTC; the day of week of local is not looked at, that
  /// of utc is set. A local time that is skipped or repeated when daylight saving time starts
  /// or ends is taken as the system takes it. 0x80070057 when local is no valid time.
  virtual HRESULT LocalToUtc(const SYSTEMTIME& local, SYSTEMTIME& utc) const = 0;
  /// Converts UTC to the local time of this zone; the same rules.
  virtual HRESULT UtcToLocal(const SYSTEMTIME& utc, SYSTEMTIME& local) const = 0;
};

class PcTime {
 public:
  virtual ~PcTime() = default;
  /// Reads the PC's current time zone; the system's error when it cannot be read.
  virtual HRESULT ReadTimeZone(std::unique_ptr<PcTimeZone>& zone) = 0;
  /// The current local time, milliseconds and day of week included.
  virtual void LocalNow(SYSTEMTIME& now) = 0;
  /// The current UTC time, milliseconds and day of week included.
  virtual void UtcNow(SYSTEMTIME& now) = 0;
  /// True where a zone's device index is read from the registry instead of being found by its
  /// standard name: Windows before major version 6. Never on a system without a registry.
  virtual bool ZoneIndexInRegistry() = 0;
  /// Reads the 32-bit value "Index" (4 bytes, whatever its registry type) of the key key_path
  /// under HKEY_LOCAL_MACHINE, opened for reading only; the registry's error when the key or
  /// the value cannot be read.
  virtual HRESULT ReadRegistryZoneIndex(const wchar_t* key_path, std::uint32_t& value) = 0;
};

/// The system's own clock and zone.
PcTime& SystemPcTime();

}  // namespace hx::platform
