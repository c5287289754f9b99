#include "app/time/device_time.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string_view>

#include "app/option_token.h"

namespace hx {
namespace {

// Where each field of an explicit value begins, and where its letter stands.
constexpr std::size_t kYearAt = 0;
constexpr std::size_t kMonthAt = 5;
constexpr std::size_t kDayAt = 8;
constexpr std::size_t kZoneLetterAt = 10;
constexpr std::size_t kHourAt = 11;
constexpr std::size_t kMinuteAt = 14;
constexpr std::size_t kSecondAt = 17;

bool IsBlank(wchar_t ch) {
  return ch == L' ' || (ch >= L'\t' && ch <= L'\r');
}

// The C library's decimal conversion of the text from position at: leading blanks skipped, an
// optional sign, digits up to the first other character, the result held at the limits of a
// 32-bit integer. Nothing beyond the value's end is read; no text reads as 0. The record keeps
// the low 16 bits, as a time record's field does.
WORD ReadField(std::wstring_view value, std::size_t at) {
  std::size_t i = at;
  while (i < value.size() && IsBlank(value[i])) {
    ++i;
  }
  bool negative = false;
  if (i < value.size() && (value[i] == L'+' || value[i] == L'-')) {
    negative = value[i] == L'-';
    ++i;
  }
  constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
  std::int64_t magnitude = 0;
  for (; i < value.size() && value[i] >= L'0' && value[i] <= L'9'; ++i) {
    magnitude = std::min<std::int64_t>(magnitude * 10 + (value[i] - L'0'), kLimit + 1);
  }
  const std::int64_t number = negative ? -magnitude : std::min(magnitude, kLimit);
  return static_cast<WORD>(static_cast<std::uint64_t>(number) & 0xFFFFu);
}

void FillGivenTime(std::wstring_view value, SYSTEMTIME& target) {
  target.wYear = ReadField(value, kYearAt);
  target.wMonth = ReadField(value, kMonthAt);
  target.wDay = ReadField(value, kDayAt);
  target.wHour = ReadField(value, kHourAt);
  target.wMinute = ReadField(value, kMinuteAt);
  target.wSecond = ReadField(value, kSecondAt);
  target.wMilliseconds = 0;
}

}  // namespace

HRESULT ResolveDeviceTime(const wchar_t* value, SYSTEMTIME& utc, SYSTEMTIME& local) {
  return ResolveDeviceTime(platform::SystemPcTime(), value, utc, local);
}

HRESULT ResolveDeviceTime(platform::PcTime& pc, const wchar_t* value, SYSTEMTIME& utc,
                          SYSTEMTIME& local) {
  std::unique_ptr<platform::PcTimeZone> zone;
  const HRESULT hr = pc.ReadTimeZone(zone);
  if (FAILED(hr)) {
    return hr;
  }
  const std::wstring_view text = value != nullptr ? value : L"";
  if (EqualsIgnoreCase(text, L"now")) {
    pc.LocalNow(local);
    pc.UtcNow(utc);
    return S_OK;
  }
  const wchar_t letter = text.size() > kZoneLetterAt ? text[kZoneLetterAt] : L'\0';
  if (letter == L'L') {
    FillGivenTime(text, local);
    return zone->LocalToUtc(local, utc);
  }
  if (letter == L'U') {
    FillGivenTime(text, utc);
    return zone->UtcToLocal(utc, local);
  }
  return E_INVALIDARG;
}

}  // namespace hx
