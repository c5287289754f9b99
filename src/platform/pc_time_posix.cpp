// The PC's zone on POSIX is the system's default zone as ICU finds it (TZ, then
// /etc/localtime). Its standard name is its Windows zone id, and every conversion uses the zone
// database's rules for that zone and that date: the utility has no rule of its own.
#include <unicode/ucal.h>
#include <unicode/ustring.h>

#include <array>
#include <string>

#include "platform/pc_time.h"

namespace hx::platform {
namespace {

constexpr std::size_t kZoneIdCapacity = 128;
constexpr const char16_t* kUtcZone = u"Etc/UTC";

// The range of dates a time record is valid in on Windows, whose conversions refuse the rest.
constexpr int kFirstYear = 1601;
constexpr int kLastYear = 30827;

HRESULT HresultFromIcu(UErrorCode ec) {
  if (ec == U_MEMORY_ALLOCATION_ERROR) {
    return E_OUTOFMEMORY;
  }
  return ec == U_ILLEGAL_ARGUMENT_ERROR ? E_INVALIDARG : E_FAIL;
}

class Calendar {
 public:
  Calendar(const std::u16string& zone, bool lenient) {
    calendar_ = ucal_open(reinterpret_cast<const UChar*>(zone.c_str()),
                          static_cast<int32_t>(zone.size()), "", UCAL_GREGORIAN, &ec_);
    if (U_FAILURE(ec_)) {
      return;
    }
    ucal_setAttribute(calendar_, UCAL_LENIENT, lenient ? 1 : 0);
    // A local time that daylight saving time skips or repeats is taken with the daylight
    // offset, as Windows' conversion takes it: the first of a repeated hour, and a skipped
    // hour as if the clocks had already been put forward.
    ucal_setAttribute(calendar_, UCAL_REPEATED_WALL_TIME, UCAL_WALLTIME_FIRST);
    ucal_setAttribute(calendar_, UCAL_SKIPPED_WALL_TIME, UCAL_WALLTIME_FIRST);
  }
  ~Calendar() {
    if (calendar_ != nullptr) {
      ucal_close(calendar_);
    }
  }
  Calendar(const Calendar&) = delete;
  Calendar& operator=(const Calendar&) = delete;

  /// The moment that the record's fields name in this calendar's zone.
  HRESULT ToMillis(const SYSTEMTIME& time, UDate& millis) {
    if (U_FAILURE(ec_)) {
      return HresultFromIcu(ec_);
    }
    if (time.wYear < kFirstYear || time.wYear > kLastYear) {
      return E_INVALIDARG;
    }
    ucal_clear(calendar_);
    ucal_setDateTime(calendar_, time.wYear, time.wMonth - 1, time.wDay, time.wHour, time.wMinute,
                     time.wSecond, &ec_);
    ucal_set(calendar_, UCAL_MILLISECOND, time.wMilliseconds);
    millis = ucal_getMillis(calendar_, &ec_);
    return U_FAILURE(ec_) ? HresultFromIcu(ec_) : S_OK;
  }

  /// The record of a moment in this calendar's zone, day of week included.
  HRESULT FromMillis(UDate millis, SYSTEMTIME& time) {
    if (U_SUCCESS(ec_)) {
      ucal_setMillis(calendar_, millis, &ec_);
    }
    std::array<int32_t, 8> fields{};
    constexpr std::array<UCalendarDateFields, 8> kFields = {
        UCAL_YEAR,        UCAL_MONTH,  UCAL_DAY_OF_WEEK, UCAL_DATE,
        UCAL_HOUR_OF_DAY, UCAL_MINUTE, UCAL_SECOND,      UCAL_MILLISECOND};
    for (std::size_t i = 0; i < kFields.size() && U_SUCCESS(ec_); ++i) {
      fields[i] = ucal_get(calendar_, kFields[i], &ec_);
    }
    if (U_FAILURE(ec_)) {
      return HresultFromIcu(ec_);
    }
    if (fields[0] < kFirstYear || fields[0] > kLastYear) {
      return E_INVALIDARG;
    }
    time = {static_cast<WORD>(fields[0]),     static_cast<WORD>(fields[1] + 1),
            static_cast<WORD>(fields[2] - 1), static_cast<WORD>(fields[3]),
            static_cast<WORD>(fields[4]),     static_cast<WORD>(fields[5]),
            static_cast<WORD>(fields[6]),     static_cast<WORD>(fields[7])};
    return S_OK;
  }

 private:
  UErrorCode ec_ = U_ZERO_ERROR;
  UCalendar* calendar_ = nullptr;
};

// Converts time from the zone `from` to the zone `to`. The given record is checked strictly
// first, in UTC, where no hour is skipped: a field out of its range is refused, not carried.
HRESULT Convert(const std::u16string& from, const SYSTEMTIME& time, const std::u16string& to,
                SYSTEMTIME& converted) {
  UDate ignored = 0;
  if (const HRESULT hr = Calendar(kUtcZone, false).ToMillis(time, ignored); FAILED(hr)) {
    return E_INVALIDARG;
  }
  UDate millis = 0;
  if (const HRESULT hr = Calendar(from, true).ToMillis(time, millis); FAILED(hr)) {
    return hr;
  }
  return Calendar(to, true).FromMillis(millis, converted);
}

std::wstring Widen(const char16_t* text, int32_t length) {
  // Zone ids are ASCII.
  return std::wstring(text, text + length);
}

class IcuTimeZone final : public PcTimeZone {
 public:
  IcuTimeZone(std::u16string id, std::wstring standard_name)
      : id_(std::move(id)), standard_name_(std::move(standard_name)) {}

  const std::wstring& StandardName() const override { return standard_name_; }
  HRESULT LocalToUtc(const SYSTEMTIME& local, SYSTEMTIME& utc) const override {
    return Convert(id_, local, kUtcZone, utc);
  }
  HRESULT UtcToLocal(const SYSTEMTIME& utc, SYSTEMTIME& local) const override {
    return Convert(kUtcZone, utc, id_, local);
  }

 private:
  std::u16string id_;
  std::wstring standard_name_;
};

// The zone ICU takes for the system's: TZ when it names a zone, else /etc/localtime.
HRESULT HostZoneId(std::u16string& id) {
  std::array<UChar, kZoneIdCapacity> buffer{};
  UErrorCode ec = U_ZERO_ERROR;
  const int32_t length =
      ucal_getHostTimeZone(buffer.data(), static_cast<int32_t>(buffer.size()), &ec);
  if (U_FAILURE(ec) || ec == U_STRING_NOT_TERMINATED_WARNING) {
    return U_FAILURE(ec) ? HresultFromIcu(ec) : E_FAIL;
  }
  id.assign(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<std::size_t>(length));
  return S_OK;
}

class IcuPcTime final : public PcTime {
 public:
  HRESULT ReadTimeZone(std::unique_ptr<PcTimeZone>& zone) override {
    std::u16string id;
    if (const HRESULT hr = HostZoneId(id); FAILED(hr)) {
      return hr;
    }
    // A name that the zone database does not know has no rules to convert with.
    std::array<UChar, kZoneIdCapacity> canonical{};
    UBool known = 0;
    UErrorCode ec = U_ZERO_ERROR;
    const auto* id_text = reinterpret_cast<const UChar*>(id.c_str());
    const auto id_length = static_cast<int32_t>(id.size());
    ucal_getCanonicalTimeZoneID(id_text, id_length, canonical.data(),
                                static_cast<int32_t>(canonical.size()), &known, &ec);
    if (U_FAILURE(ec) || known == 0) {
      return kHrNotFound;
    }
    std::array<UChar, kZoneIdCapacity> windows_id{};
    const int32_t length = ucal_getWindowsTimeZoneID(id_text, id_length, windows_id.data(),
                                                     static_cast<int32_t>(windows_id.size()), &ec);
    if (U_FAILURE(ec)) {
      return HresultFromIcu(ec);
    }
    // A zone without a Windows id keeps an empty standard name, which no table entry has.
    zone = std::make_unique<IcuTimeZone>(
        std::move(id), Widen(reinterpret_cast<const char16_t*>(windows_id.data()), length));
    return S_OK;
  }

  void LocalNow(SYSTEMTIME& now) override {
    std::u16string id;
    if (FAILED(HostZoneId(id))) {
      id = kUtcZone;
    }
    Now(id, now);
  }

  void UtcNow(SYSTEMTIME& now) override { Now(kUtcZone, now); }

  bool ZoneIndexInRegistry() override { return false; }

  HRESULT ReadRegistryZoneIndex(const wchar_t*, std::uint32_t&) override {
    return HresultFromError(kErrorNotSupported);
  }

 private:
  static void Now(const std::u16string& zone, SYSTEMTIME& now) {
    now = {};
    Calendar(zone, true).FromMillis(ucal_getNow(), now);
  }
};

}  // namespace

PcTime& SystemPcTime() {
  static IcuPcTime pc_time;
  return pc_time;
}

}  // namespace hx::platform
